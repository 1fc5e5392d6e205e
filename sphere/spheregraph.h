// The vertex graph of a world on the unit sphere: each vertex's direction,
// its neighbours along the triangle edges, the triangles around it and the
// share of the sphere it stands for. Erosion, climate, water and the
// import's equal-area bands all walk this one graph.
#ifndef SPHEREGRAPH_H
#define SPHEREGRAPH_H

#include "terrain/vec3.h"
#include "world/world.h"

#include <vector>

struct SphereGraph
{
    int vertexCount = 0;
    std::vector<Vec3> units;         // unit direction per vertex
    std::vector<int> neighbourStart; // neighbours of v: neighbours[neighbourStart[v] ..
    std::vector<int> neighbours;     //   neighbourStart[v + 1]), increasing
    std::vector<int> triangleStart;  // triangles around v, likewise
    std::vector<int> triangles;
    std::vector<int> corners;     // A, B, C per triangle
    std::vector<double> cellArea; // steradians: a third of each triangle around v

    int degreeOf(int v) const { return neighbourStart[v + 1] - neighbourStart[v]; }
};

// The graph of a sound world (world.h).
SphereGraph sphereGraph(const World &world);

// A vertex's cell: a third of the spherical excess of every triangle it is
// a corner of, on a sphere of the given radius (in its unit, squared). The
// cells tile the sphere: they sum to 4 pi radius².
std::vector<double> cellAreas(const std::vector<Vec3> &units, const int *corners, int triangleCount,
                              double radius = 1.0);

#endif
