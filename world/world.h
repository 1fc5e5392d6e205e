// A world as a value: its five tables, the demo flag and the counts.
//
// Index rules, as in the files: header[k]; levels[v]; coords[2v + k] (k = 0
// polar angle from +z, k = 1 azimuth from +y towards +x, both in radians);
// corners[4t + k] (corners A, B, C, then the outline flag); fans[6v + k] (the
// triangles around v; a vertex with five repeats its fifth in entry 5).
//
// A world that loadWorld (worldload.h) returned, or that the generator made,
// is sound: the counts are the header's, every table is long enough for
// them, and every corner and fan entry is in range. levels may hold more
// entries than vertexCount, as base002.dat may: a loaded world keeps those
// up to vertex 142, which the demo terrain reaches, and no more.
#ifndef WORLD_H
#define WORLD_H

#include <QVector>

struct World
{
    QVector<int> header;   // base001.dat; [0] subdivision, [10] vertices
    QVector<int> levels;   // base002.dat, or the levels a load was asked for
    QVector<float> coords; // base003.dat
    QVector<int> corners;  // base004.dat
    QVector<int> fans;     // base005.dat
    int demoFlag = 0;      // demo.txt: 0 off, anything else on

    int vertexCount = 0;   // header[10]
    int triangleCount = 0; // header[4] + 2 * header[3]
    int subdivision() const { return header.value(0); }
};

#endif
