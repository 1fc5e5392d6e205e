#include "fanworld.h"

#include "terrain/triangle.h"
#include "world/worldtables.h"

#include <cmath>

void installFanWorld(const FanWorld &world, int centreLevel)
{
    const int vertices = world.ring + 1;
    const int triangles = world.ring + world.spare;
    worldHeader = QVector<int>(11, 0);
    worldHeader[0] = 4;
    worldHeader[4] = triangles;
    worldHeader[10] = vertices;
    vertexLevels = QVector<int>(vertices, 1);
    vertexLevels[0] = centreLevel;
    vertexCoords = {0.0f, 0.0f};
    for (int k = 0; k < world.ring; ++k)
        vertexCoords << world.ringTheta << float(2 * M_PI * k / world.ring);
    triangleCorners.clear();
    for (int k = 0; k < world.ring; ++k)
        triangleCorners << 0 << k + 1 << (k + 1) % world.ring + 1 << k % 2;
    for (int k = 0; k < world.spare; ++k)
        triangleCorners << 1 << 2 << 3 << 0;
    vertexFans = QVector<int>(6 * vertices, 0);
    for (int k = 0; k < 6; ++k)
        vertexFans[k] = std::min(k, world.ring - 1);
    subdivisionLevel = 4;
    worldVertexCount = vertexCount = vertices;
    worldTriangleCount = triangleCount = triangles;
    selectedVertex = 0;
    Triangle::setNextIndex(0);
}
