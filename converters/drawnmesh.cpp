#include "converters/drawnmesh.h"

#include "terrain/levelrules.h"
#include "world/worldtables.h"

#include <cmath>

DrawnMesh drawnMesh(const QVector<int> &levels)
{
    DrawnMesh mesh;
    mesh.levels = levels.mid(0, worldVertexCount);
    mesh.angles = vertexCoords.mid(0, 2 * worldVertexCount);
    mesh.positions.resize(3 * mesh.vertexCount());
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        float radius;
        levelRadius(mesh.levels[v], radius);
        cornerPosition(radius, mesh.angles[2 * v], mesh.angles[2 * v + 1],
                       mesh.positions.data() + 3 * v);
    }
    mesh.corners.reserve(3 * worldTriangleCount);
    for (int t = 0; t < worldTriangleCount; ++t) {
        for (int k = 0; k < 3; ++k)
            mesh.corners << triangleCorners[4 * t + k];
    }
    return mesh;
}

unsigned char channel8(float c)
{
    return static_cast<unsigned char>(std::lround(double(qBound(0.0f, c, 1.0f)) * 255.0));
}

Rgb8 levelRgb8(int level)
{
    float red, green, blue;
    levelColor(level, red, green, blue);
    return {channel8(red), channel8(green), channel8(blue)};
}
