#include "relief/levelscale.h"

#include "terrain/levelrules.h"

#include <algorithm>
#include <cmath>

namespace {

struct Vector
{
    double x, y, z;
};

Vector unitPoint(const DrawnMesh &mesh, int v)
{
    float p[3];
    cornerPosition(1.0, mesh.angles[2 * v], mesh.angles[2 * v + 1], p);
    return {p[0], p[1], p[2]};
}

// The flat triangle's area: on the finest worlds it is within a fraction
// of a percent of the spherical one, and the bands need only shares.
double triangleArea(const Vector &a, const Vector &b, const Vector &c)
{
    const Vector u{b.x - a.x, b.y - a.y, b.z - a.z}, w{c.x - a.x, c.y - a.y, c.z - a.z};
    const Vector n{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
    return 0.5 * std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
}

} // namespace

std::vector<double> vertexAreas(const DrawnMesh &mesh)
{
    std::vector<double> areas(size_t(mesh.vertexCount()), 0.0);
    for (int t = 0; t < mesh.triangleCount(); ++t) {
        const int *corner = mesh.corners.constData() + 3 * t;
        const double third = triangleArea(unitPoint(mesh, corner[0]), unitPoint(mesh, corner[1]),
                                          unitPoint(mesh, corner[2])) /
                             3;
        for (int k = 0; k < 3; ++k)
            areas[size_t(corner[k])] += third;
    }
    return areas;
}

AreaBands equalAreaBands(std::vector<LandSample> land, double seaLevel)
{
    AreaBands bands;
    bands.seaLevel = seaLevel;
    bands.cutoffs.fill(seaLevel);
    land.erase(std::remove_if(land.begin(), land.end(),
                              [seaLevel](const LandSample &s) { return !(s.value > seaLevel); }),
               land.end());
    std::sort(land.begin(), land.end(),
              [](const LandSample &a, const LandSample &b) { return a.value < b.value; });
    double total = 0;
    for (const LandSample &s : land)
        total += s.area;
    double below = 0;
    size_t k = 0;
    for (const LandSample &s : land) {
        below += s.area;
        while (k < bands.cutoffs.size() && below >= total * double(k + 1) / 9)
            bands.cutoffs[k++] = s.value;
    }
    // Rounding may leave the last share a hair short of the total.
    for (; k < bands.cutoffs.size(); ++k)
        bands.cutoffs[k] = land.empty() ? seaLevel : land.back().value;
    return bands;
}

int levelInBands(double value, const AreaBands &bands)
{
    if (!(value > bands.seaLevel))
        return 0;
    return 1 + int(std::count_if(bands.cutoffs.begin(), bands.cutoffs.end(),
                                 [value](double cutoff) { return value > cutoff; }));
}
