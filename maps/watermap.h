// Water where users look: lakes and rivers (water/) drawn in the colour of
// level 0 over the colour maps. (The vertices 3D files colour as water are
// water/rivers.h's waterVertices.)
//
// Rivers are those of the rivers command's default threshold
// (defaultMinAreaKm2). On a map a lake covers the pixels whose nearest
// vertex lies under it; a river is a line from vertex to vertex, 1 pixel
// wide per 2048 pixels of map width where its flow is the threshold, half a
// pixel wider per doubling of its flow, at most 6. Drawing is without
// antialiasing, so that a map stays one set of level colours.
#ifndef WATERMAP_H
#define WATERMAP_H

#include "world/world.h"

#include <QImage>
#include <QVector>

// Draws onto an equirectangular colour map (worldmap.h) of the world,
// Format_RGB888. Rivers are as wide as on a map widthFor pixels wide (0:
// map's own width), for a source map that a warp then shrinks.
void drawWaterOnMap(const World &world, QImage &map, int widthFor = 0);

// Draws onto the six faces of a cube map (cubemap.h) of the world.
void drawWaterOnCube(const World &world, QVector<QImage> &faces);

#endif
