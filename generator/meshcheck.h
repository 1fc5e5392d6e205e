// Checks of the mesh properties a generated world promises, beyond what the
// editor's loader insists on: orientation, outlines and fan order. Also the
// counts and level shares that describe a world to its user.
//
// Call checkMeshProperties only on tables that checkWorldTables (worldload.h)
// has accepted: it trusts the header counts, the table lengths and every
// corner and fan index.
#ifndef MESHCHECK_H
#define MESHCHECK_H

#include "world/status.h"
#include "world/world.h"

#include <QStringList>
#include <QVector>

// One line per problem, naming the file, a few per rule and then a count:
//  - every triangle is counter-clockwise seen from outside, judged from the
//    angles in base003.dat;
//  - every edge is outlined exactly once (flag non-zero: edge A-B only;
//    flag zero: edges C-A and B-C);
//  - each fan lists every triangle of its vertex once, counter-clockwise
//    seen from outside, consecutive entries sharing an edge through the
//    vertex, and a vertex with five triangles repeats entry 4 in entry 5.
// Empty when the mesh is sound.
QStringList checkMeshProperties(const QVector<int> &header, const QVector<float> &coords,
                                const QVector<int> &corners, const QVector<int> &fans);

// The check command's work on a world the loader accepted: its mesh
// properties; refused with one line per problem.
Status checkWorld(const World &world);

struct LevelShare
{
    int vertices = 0;                         // vertices counted
    QVector<int> perLevel = QVector<int>(10); // vertices at each level 0..9
    int outside = 0;                          // vertices with a level outside 0..9
};

// Counts the first vertexCount levels (fewer if the table is shorter).
LevelShare levelShare(const QVector<int> &levels, int vertexCount);

// A few lines for people: subdivision and counts, then how much of the
// world is sea (level 0) and land, and the share of vertices at each level.
// Expects a header of at least 11 entries.
QStringList worldSummary(const QVector<int> &header, const QVector<int> &levels);

#endif
