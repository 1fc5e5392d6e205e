// The program-wide world: five tables filled from the data files at start,
// the counts derived from them, and the few values the subsystems share.
//
// Index rules: worldHeader[k]; vertexLevels[v]; vertexCoords[2v + k] (k = 0
// polar angle from +z, k = 1 azimuth from +y towards +x, both in radians);
// triangleCorners[4t + k] (corners A, B, C, then the outline flag);
// vertexFans[6v + k] (the triangles around v; a vertex with five repeats its
// fifth in entry 5).
#ifndef WORLDTABLES_H
#define WORLDTABLES_H

#include "world/world.h"

#include <QVector>

// Declared, and so constructed, in the order of their data files.
extern QVector<int> worldHeader;     // "base001.dat"; [0] subdivision, [10] vertices
extern QVector<int> vertexLevels;    // "base002.dat"; level 0..9 per vertex
extern QVector<float> vertexCoords;  // "base003.dat"; two angles per vertex
extern QVector<int> triangleCorners; // "base004.dat"; four integers per triangle
extern QVector<int> vertexFans;      // "base005.dat"; six triangles per vertex

extern int worldVertexCount;   // worldHeader[10], set by loadWorld
extern int worldTriangleCount; // worldHeader[4] + 2 * worldHeader[3], set by loadWorld
extern int vertexCount;        // copied once from worldVertexCount by the window
extern int triangleCount;      // copied once from worldTriangleCount by the window
extern int subdivisionLevel;   // 4 until loadWorld replaces it with worldHeader[0]
extern int selectedVertex;     // the vertex the marker shows and the level keys edit

// Fills the tables and counts from a sound world; an empty world (a refused
// load) empties them and sets both world counts to 0.
void setWorldTables(const World &world);

int getWorldVertexCount();
int getWorldTriangleCount();

#endif
