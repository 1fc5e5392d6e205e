// The real Earth as starting levels: the Natural Earth relief (public
// domain) that data/make-earth-relief.sh derived once, built into the
// program, so that neither the build nor a run needs its source.
//
// The relief is 2700 x 1350 8-bit grey samples, pixels as areas in the map
// convention (worldmap.h): sea is grey 95 and below, level 0; land spreads
// over levels 1..9 up to the highest sample, on the Himalaya. About 29% of
// the sphere is land.
#ifndef EARTHRELIEF_H
#define EARTHRELIEF_H

#include "world/status.h"
#include "world/world.h"

#include <QString>
#include <QVector>

// The sea level of the built-in relief, in its grey values.
const int earthSeaLevel = 95;

// Lays the built-in relief over a world's levels, one per vertex; refused
// only if the program was built without it.
Status layEarthRelief(World &world);

#endif
