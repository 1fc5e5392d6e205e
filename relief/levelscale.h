// Land heights to levels by area rather than by height: the nine land levels
// each cover about the same share of the land's area on the sphere, so that
// a relief whose land is mostly low (the Earth's) shows its lowlands, hills
// and mountains in as many colours as its peaks.
#ifndef LEVELSCALE_H
#define LEVELSCALE_H

#include "meshes/drawnmesh.h"

#include <array>
#include <vector>

// How an import's samples become levels (heightmapimport.h).
struct LevelScale
{
    bool hasSeaLevel = false;
    double seaLevel = 0; // in the raster's units
    bool hasPeak = false;
    double peak = 0; // above seaLevel
    bool noDataIsSea = false;
    // With a sea level and no peak: land in nine bands of equal area
    // (equalAreaBands below) instead of nine steps of equal height.
    bool equalArea = false;
};

// The heights that part the land into levels 1..9: a value above the sea
// level and at most cutoffs[0] is level 1, above cutoffs[k - 1] and at most
// cutoffs[k] level k + 1, above cutoffs[7] level 9. In the raster's units.
struct AreaBands
{
    double seaLevel = 0;
    std::array<double, 8> cutoffs{};
};

// A land vertex: its height and its share of the sphere.
struct LandSample
{
    double value;
    double area;
};

// Each vertex's share of the unit sphere, in steradians: its cell
// (sphere/spheregraph.h), so that the shares sum to 4 pi.
std::vector<double> vertexAreas(const DrawnMesh &mesh);

// The cutoffs for land, the vertices above seaLevel: cutoffs[k - 1] is the
// lowest height at or below which lies k / 9 of the land's area. Vertices
// of equal height share a level, so a level holds exactly 1/9 only where the
// heights allow. Without land every cutoff is the sea level.
AreaBands equalAreaBands(std::vector<LandSample> land, double seaLevel);

// The level of value: 0 at or below the sea level (and for NaN), else 1..9.
int levelInBands(double value, const AreaBands &bands);

#endif
