// A tiny world built in memory: vertex 0 at the north pole with a ring of
// five or six neighbours around it, one triangle per neighbour, plus spare
// triangles away from the fan. Enough to see exactly what a list, an edit or
// the marker does, with no files and no generator.
#ifndef FANWORLD_H
#define FANWORLD_H

#include <QVector>

struct FanWorld
{
    int ring;        // neighbours of vertex 0: 5 or 6
    int spare;       // triangles not touching vertex 0
    float ringTheta; // polar angle of the ring
};

// Fills the world tables and counts (vertexCount and triangleCount too) and
// resets Triangle's running index. Fan triangle k is (0, k+1, next); spare
// triangles are (1, 2, 3). Levels: vertex 0 at centreLevel, the rest at 1.
void installFanWorld(const FanWorld &world, int centreLevel);

#endif
