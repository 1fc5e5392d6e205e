#include "meshes/drawnmesh.h"

#include "terrain/levelrules.h"

#include <cmath>

DrawnMesh drawnMesh(const World &world)
{
    DrawnMesh mesh;
    mesh.levels = world.levels.mid(0, world.vertexCount);
    mesh.angles = world.coords.mid(0, 2 * world.vertexCount);
    mesh.positions.resize(3 * mesh.vertexCount());
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        const float radius = radiusOfLevel(mesh.levels[v], world.subdivision());
        cornerPosition(radius, mesh.angles[2 * v], mesh.angles[2 * v + 1],
                       mesh.positions.data() + 3 * v);
    }
    mesh.corners.reserve(3 * world.triangleCount);
    for (int t = 0; t < world.triangleCount; ++t) {
        for (int k = 0; k < 3; ++k)
            mesh.corners << world.corners[4 * t + k];
    }
    return mesh;
}

void setRelief(DrawnMesh &mesh, double share)
{
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        const int level = mesh.levels[v];
        const double above = level >= 1 && level <= 9 ? share * level / 9 : 0;
        cornerPosition(baseSphereRadius * (1 + above), mesh.angles[2 * v], mesh.angles[2 * v + 1],
                       mesh.positions.data() + 3 * v);
    }
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

int shownLevel(const DrawnMesh &mesh, int v)
{
    const bool wet = size_t(v) < mesh.wet.size() && mesh.wet[v];
    return wet ? 0 : mesh.levels[v];
}

Rgb8 vertexRgb8(const DrawnMesh &mesh, int v)
{
    return levelRgb8(shownLevel(mesh, v));
}
