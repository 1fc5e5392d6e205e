#include "sphere/spheregraph.h"

#include "sphere/sphere.h"

#include <algorithm>

namespace {

void linkTriangles(SphereGraph &g)
{
    const int n = g.vertexCount;
    g.triangleStart.assign(n + 1, 0);
    for (int c : g.corners)
        ++g.triangleStart[c + 1];
    for (int v = 0; v < n; ++v)
        g.triangleStart[v + 1] += g.triangleStart[v];
    g.triangles.resize(g.corners.size());
    std::vector<int> next(g.triangleStart.begin(), g.triangleStart.end() - 1);
    for (size_t t = 0; t < g.corners.size() / 3; ++t) {
        for (int k = 0; k < 3; ++k)
            g.triangles[next[g.corners[3 * t + k]]++] = int(t);
    }
}

void linkNeighbours(SphereGraph &g)
{
    g.neighbourStart.assign(g.vertexCount + 1, 0);
    std::vector<int> around;
    for (int v = 0; v < g.vertexCount; ++v) {
        around.clear();
        for (int i = g.triangleStart[v]; i < g.triangleStart[v + 1]; ++i) {
            for (int k = 0; k < 3; ++k) {
                const int c = g.corners[3 * g.triangles[i] + k];
                if (c != v)
                    around.push_back(c);
            }
        }
        std::sort(around.begin(), around.end());
        around.erase(std::unique(around.begin(), around.end()), around.end());
        g.neighbours.insert(g.neighbours.end(), around.begin(), around.end());
        g.neighbourStart[v + 1] = int(g.neighbours.size());
    }
}

} // namespace

SphereGraph sphereGraph(const World &world)
{
    SphereGraph g;
    g.vertexCount = world.vertexCount;
    g.units.resize(g.vertexCount);
    for (int v = 0; v < g.vertexCount; ++v)
        g.units[v] = unitDirection(world.coords[2 * v], world.coords[2 * v + 1]);
    g.corners.resize(3 * size_t(world.triangleCount));
    for (int t = 0; t < world.triangleCount; ++t) {
        for (int k = 0; k < 3; ++k)
            g.corners[3 * t + k] = world.corners[4 * t + k];
    }
    linkTriangles(g);
    linkNeighbours(g);
    g.cellArea = cellAreas(g.units, g.corners.data(), world.triangleCount);
    return g;
}

std::vector<double> cellAreas(const std::vector<Vec3> &units, const int *corners, int triangleCount,
                              double radius)
{
    std::vector<double> areas(units.size(), 0.0);
    const double third = radius * radius / 3;
    for (int t = 0; t < triangleCount; ++t) {
        const int *c = corners + 3 * t;
        const double area = sphericalExcess(units[c[0]], units[c[1]], units[c[2]]) * third;
        for (int k = 0; k < 3; ++k)
            areas[c[k]] += area;
    }
    return areas;
}
