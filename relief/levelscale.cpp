#include "relief/levelscale.h"

#include "sphere/spheregraph.h"

#include <algorithm>
#include <cmath>

std::vector<double> vertexAreas(const DrawnMesh &mesh)
{
    std::vector<Vec3> units(size_t(mesh.vertexCount()));
    for (size_t v = 0; v < units.size(); ++v)
        units[v] = unitDirection(mesh.angles[2 * int(v)], mesh.angles[2 * int(v) + 1]);
    return cellAreas(units, mesh.corners.constData(), mesh.triangleCount());
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
