#include "terrain/elevation.h"

#include "terrain/triangle.h"
#include "world/worldtables.h"

#include <algorithm>
#include <array>

namespace {

const int *fanOf(int vertex)
{
    return vertexFans.constData() + 6 * vertex;
}

std::array<int, 3> levelsOf(const Triangle &triangle)
{
    return {triangle.getLevelA(), triangle.getLevelB(), triangle.getLevelC()};
}

void setCornerLevel(Triangle &triangle, int vertex, int level)
{
    std::array<int, 3> levels = levelsOf(triangle);
    levels[size_t(triangle.cornerOf(vertex))] = level;
    triangle.setLevels(levels[0], levels[1], levels[2]);
}

} // namespace

int getVertexLevel(int vertex, const Triangle *triangles)
{
    const Triangle &first = triangles[fanOf(vertex)[0]];
    return levelsOf(first)[size_t(first.cornerOf(vertex))];
}

void setVertexLevel(int vertex, int level, Triangle *triangles, int &f0, int &f1, int &f2, int &f3,
                    int &f4, int &f5)
{
    const int *fan = fanOf(vertex);
    f0 = fan[0];
    f1 = fan[1];
    f2 = fan[2];
    f3 = fan[3];
    f4 = fan[4];
    f5 = fan[5];
    const int clamped = std::clamp(level, 0, 9);
    for (int k = 0; k < fanTriangleCount(fan); ++k)
        setCornerLevel(triangles[fan[k]], vertex, clamped);
}

void stepVertexLevel(int vertex, int step, Triangle *triangles)
{
    // A loaded level may be any integer: one step past INT_MAX or INT_MIN
    // must clamp, not overflow and come out at the other end of 0..9.
    const long long next = (long long)getVertexLevel(vertex, triangles) + step;
    int f[6];
    setVertexLevel(vertex, int(std::clamp(next, 0LL, 9LL)), triangles, f[0], f[1], f[2], f[3], f[4],
                   f[5]);
    for (int k = 0; k < fanTriangleCount(f); ++k)
        triangles[f[k]].compileList();
}
