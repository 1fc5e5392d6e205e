// The river network of a drainage: the land outside lakes whose flow reaches
// a threshold, cut into segments at confluences, with Strahler's orders.
#ifndef RIVERS_H
#define RIVERS_H

#include "water/drainage.h"

#include <QString>

#include <vector>

enum class RiverEnd { Sea, Lake, River };

// "sea", "lake" or "river".
const char *riverEndName(RiverEnd end);

struct RiverSegment
{
    // In downstream order: a source, a confluence or the lake vertex it
    // leaves, then its vertices, then the confluence, the sea vertex or the
    // lake vertex it ends at.
    std::vector<int> vertices;
    double flowKm2 = 0; // at its last vertex before where it ends
    int strahler = 1;
    RiverEnd end = RiverEnd::Sea;
    int basin = -1; // Drainage::basins, -1 when it ends in a lake without outlet
};

// The default threshold: the area of 20 average cells of the sphere, so that
// the main rivers show at every subdivision.
double defaultMinAreaKm2(const Drainage &drainage);

// The segments over every land vertex outside a lake whose flow reaches
// minAreaKm2, ordered by their first vertex. A lake draining into a river
// is a branch of it, as a river is.
std::vector<RiverSegment> riverSegments(const Drainage &drainage, double minAreaKm2);

// A world's water network, computed in one place for every room that draws
// or writes it: where water runs, the rivers' least flow and the segments.
struct WaterNetwork
{
    Drainage drainage;
    std::vector<RiverSegment> rivers;
    double minAreaKm2 = 0; // the threshold the rivers were found at
};

// The network of world on a sphere of radiusKm; minAreaKm2 negative: the
// default threshold.
WaterNetwork waterNetwork(const World &world, double minAreaKm2 = -1,
                          double radiusKm = earthRadiusKm);

// Whether each vertex lies on a river of the segments: 1 on a river, 0 not.
std::vector<char> riverVertices(const Drainage &drainage,
                                const std::vector<RiverSegment> &segments);

// The vertices 3D files colour as water: 1 for each vertex on a river at
// the default threshold or under a lake, else 0.
std::vector<char> waterVertices(const World &world);

// What a user is told: rivers reaching the sea, lakes, and the largest basin.
struct WaterSummary
{
    int riversToSea = 0; // segments ending at the sea
    int lakes = 0;
    double largestBasinKm2 = 0;
    LonLat largestMouth = {0, 0}; // its outlet's position
    bool anyBasin = false;
};
WaterSummary summariseWater(const Drainage &drainage, const std::vector<RiverSegment> &segments);

// The summary of a world at the default threshold as one line: "water: 12
// rivers reach the sea, 3 lakes; the largest basin 1234567 km², its mouth at
// 12.3 E, 4.5 S".
QString describeWater(const World &world);

#endif
