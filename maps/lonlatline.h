// A line of longitude/latitude points as OGR LineStrings, cut where it
// crosses the antimeridian (a step of more than 180 degrees in longitude)
// into one line on each side, meeting at longitude 180 or -180.
#ifndef LONLATLINE_H
#define LONLATLINE_H

#include "water/drainage.h"

#include <ogr_geometry.h>

#include <memory>
#include <vector>

std::vector<std::unique_ptr<OGRLineString>> cutAtAntimeridian(const std::vector<LonLat> &points);

#endif
