#include "water/rivers.h"

#include <algorithm>
#include <cmath>

const char *riverEndName(RiverEnd end)
{
    switch (end) {
    case RiverEnd::Sea:
        return "sea";
    case RiverEnd::Lake:
        return "lake";
    case RiverEnd::River:
        break;
    }
    return "river";
}

double defaultMinAreaKm2(const Drainage &drainage)
{
    double total = 0;
    for (double cell : drainage.cellKm2)
        total += cell;
    return drainage.vertexCount > 0 ? 20 * total / drainage.vertexCount : 0;
}

namespace {

// Strahler's order down the drainage order: 1 at a source, the largest order
// upstream, plus one where two or more branches bring it. Lakes pass on the
// largest order that enters them, so the river leaving a lake keeps it.
std::vector<int> strahlerOrders(const Drainage &d, const std::vector<char> &river)
{
    std::vector<int> order(d.vertexCount, 0), topDonors(d.vertexCount, 0);
    auto carries = [&](int v) { return river[v] || d.lakeOf[v] >= 0; };
    for (int v : d.order) {
        if (!carries(v))
            continue;
        if (river[v] && order[v] == 0)
            order[v] = 1;
        else if (river[v] && topDonors[v] >= 2)
            ++order[v];
        const int r = d.receiver[v];
        if (r < 0 || !carries(r) || order[v] == 0)
            continue;
        if (order[v] > order[r]) {
            order[r] = order[v];
            topDonors[r] = 1;
        } else if (order[v] == order[r]) {
            ++topDonors[r];
        }
    }
    return order;
}

} // namespace

std::vector<RiverSegment> riverSegments(const Drainage &d, double minAreaKm2)
{
    const int n = d.vertexCount;
    std::vector<char> river(n, 0);
    for (int v = 0; v < n; ++v)
        river[v] = !d.isSea(v) && d.lakeOf[v] < 0 && d.flowKm2[v] >= minAreaKm2;
    // Branches into each river vertex: rivers, and lakes draining into it.
    std::vector<int> donors(n, 0);
    auto leavesLake = [&](int v) {
        return d.lakeOf[v] >= 0 && d.receiver[v] >= 0 && river[d.receiver[v]];
    };
    for (int v = 0; v < n; ++v) {
        if (river[v] || leavesLake(v)) {
            if (d.receiver[v] >= 0 && river[d.receiver[v]])
                ++donors[d.receiver[v]];
        }
    }
    const std::vector<int> order = strahlerOrders(d, river);
    std::vector<RiverSegment> segments;
    for (int start = 0; start < n; ++start) {
        if (!leavesLake(start) && (!river[start] || donors[start] == 1))
            continue;
        RiverSegment segment;
        segment.strahler = std::max(1, order[start]);
        int v = start;
        for (;;) {
            segment.vertices.push_back(v);
            segment.flowKm2 = d.flowKm2[v];
            const int r = d.receiver[v];
            if (r < 0) { // a sink outside any lake: cannot happen, but end there
                segment.end = RiverEnd::Lake;
                break;
            }
            if (d.isSea(r) || !river[r]) {
                segment.vertices.push_back(r);
                segment.end = d.isSea(r) ? RiverEnd::Sea : RiverEnd::Lake;
                break;
            }
            if (donors[r] >= 2) {
                segment.vertices.push_back(r);
                segment.end = RiverEnd::River;
                break;
            }
            v = r;
        }
        segment.basin = d.basinOf[start];
        segments.push_back(std::move(segment));
    }
    return segments;
}

std::vector<char> riverVertices(const Drainage &drainage, const std::vector<RiverSegment> &segments)
{
    std::vector<char> on(drainage.vertexCount, 0);
    for (const RiverSegment &segment : segments) {
        for (int v : segment.vertices) {
            if (!drainage.isSea(v) && drainage.lakeOf[v] < 0)
                on[v] = 1;
        }
    }
    return on;
}

WaterNetwork waterNetwork(const World &world, double minAreaKm2, double radiusKm)
{
    WaterNetwork water;
    water.drainage = computeDrainage(world, radiusKm);
    water.minAreaKm2 = minAreaKm2 >= 0 ? minAreaKm2 : defaultMinAreaKm2(water.drainage);
    water.rivers = riverSegments(water.drainage, water.minAreaKm2);
    return water;
}

std::vector<char> waterVertices(const World &world)
{
    const WaterNetwork water = waterNetwork(world);
    const Drainage &drainage = water.drainage;
    std::vector<char> wet = riverVertices(drainage, water.rivers);
    for (int v = 0; v < drainage.vertexCount; ++v)
        wet[v] = wet[v] || drainage.lakeOf[v] >= 0;
    return wet;
}

WaterSummary summariseWater(const Drainage &drainage, const std::vector<RiverSegment> &segments)
{
    WaterSummary summary;
    for (const RiverSegment &segment : segments)
        summary.riversToSea += segment.end == RiverEnd::Sea;
    summary.lakes = int(drainage.lakes.size());
    for (const Basin &basin : drainage.basins) {
        if (!summary.anyBasin || basin.areaKm2 > summary.largestBasinKm2) {
            summary.anyBasin = true;
            summary.largestBasinKm2 = basin.areaKm2;
            summary.largestMouth = lonLatOf(drainage.units[basin.outlet]);
        }
    }
    return summary;
}

QString describeWater(const World &world)
{
    const WaterNetwork network = waterNetwork(world);
    const WaterSummary water = summariseWater(network.drainage, network.rivers);
    QString line = QStringLiteral("water: %1 rivers reach the sea, %2 lakes")
                       .arg(water.riversToSea)
                       .arg(water.lakes);
    if (!water.anyBasin)
        return line + QStringLiteral("; no basin reaches the sea");
    const LonLat &mouth = water.largestMouth;
    return line + QStringLiteral("; the largest basin %1 km², its mouth at %2 %3, %4 %5")
                      .arg(water.largestBasinKm2, 0, 'f', 0)
                      .arg(std::fabs(mouth.lon), 0, 'f', 1)
                      .arg(QLatin1Char(mouth.lon < 0 ? 'W' : 'E'))
                      .arg(std::fabs(mouth.lat), 0, 'f', 1)
                      .arg(QLatin1Char(mouth.lat < 0 ? 'S' : 'N'));
}
