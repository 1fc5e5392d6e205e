// Water where users look: lakes in the colour of level 0 and rivers in a
// colour of their own (water/) over the colour maps. (The vertices 3D files
// colour as water are water/rivers.h's waterVertices.)
//
// Rivers are those whose flow reaches minAreaKm2, the rivers command's
// threshold (below 0: its default, defaultMinAreaKm2). On a map a lake
// covers the pixels whose nearest vertex lies under it, without
// antialiasing, so that it stays the sea's colour; a river is an
// antialiased line from vertex to vertex in riverRgb, 1 pixel wide where
// its flow is the threshold, a quarter pixel wider per doubling of its
// flow, at most 3, all times the square root of the map's width over 2048
// (at least 1): a wider map shows rivers thinner against the land, as a
// finer one should, yet still there.
#ifndef WATERMAP_H
#define WATERMAP_H

#include "meshes/drawnmesh.h"
#include "world/world.h"

#include <QImage>
#include <QVector>

// Draws onto an equirectangular colour map (worldmap.h) of the world,
// Format_RGB888. Rivers are as wide as on a map widthFor pixels wide (0:
// map's own width), for a source map that a warp then shrinks.
void drawWaterOnMap(const World &world, QImage &map, int widthFor = 0, double minAreaKm2 = -1);

// Draws onto the six faces of a cube map (cubemap.h) of the world.
void drawWaterOnCube(const World &world, QVector<QImage> &faces, double minAreaKm2 = -1);

// The rivers' colour: a deep blue, darker than the sea's level 0 and apart
// in hue from every land colour (greens, sand, browns), so that a river
// reads on each of them and is never taken for a lake or the sea.
const Rgb8 riverRgb = {20, 70, 180};

#endif
