// The cell of a vertex as polygons in longitude and latitude, for the GIS
// files: the ring through the centres of the triangles around it, so that
// the cells of two neighbours share their edge point for point and the
// cells of all vertices tile the sphere.
//
// Edges are straight in longitude and latitude. A cell that crosses the
// antimeridian is cut there into two rings, one at +180 and one at -180
// degrees, the crossing's latitude computed from the two ends' own
// longitudes so that both neighbours find the same point. A cell around a
// pole is closed along the pole's parallel (latitude +90 or -90). Rings are
// counter-clockwise (east right, north up), not closed (the first point is
// not repeated).
#ifndef CELLS_H
#define CELLS_H

#include "water/drainage.h"

#include <vector>

using Ring = std::vector<LonLat>;

// One ring, or two for a cell the antimeridian cuts.
std::vector<Ring> cellRings(const Drainage &drainage, int vertex);

#endif
