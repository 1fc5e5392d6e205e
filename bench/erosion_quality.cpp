// globe-erosion-quality DIR [SEED PLATES]: how much a world's relief looks shaped by
// running water, measured on our own drainage (water/) of its levels as
// stored, as docs/erosion.md compares it with the Earth's:
// - valleys: the share of main-river vertices (flow at least 100,000 km²)
//   lying lower than the land two cells away on both sides, across the flow;
// - Hack's exponent h of L = c A^h: least squares of ln L on ln A over the
//   basins of at least 50,000 km², L the main stem's length from the outlet
//   up the larger branch at every confluence;
// - basins of at least a million km², and the lakes' share of the land;
// - with SEED and PLATES (a world of generate --terrain plates): the share
//   of the mountains (the top three levels present) within 300 and 500 km of
//   a convergent boundary, the plates grown again as the generator grew them.
// Prints one "name value" line each.
#include "erosion/plates.h"
#include "water/drainage.h"
#include "world/worldload.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <queue>
#include <vector>

namespace {

double kmBetween(const Drainage &d, int a, int b)
{
    const Vec3 c = cross(d.units[a], d.units[b]);
    return std::atan2(std::sqrt(dot(c, c)), dot(d.units[a], d.units[b])) * earthRadiusKm;
}

// The vertex nearest target, walking from start towards it.
int nearestTo(const Drainage &d, int start, const Vec3 &target)
{
    int at = start;
    for (;;) {
        int best = at;
        for (int i = d.neighbourStart[at]; i < d.neighbourStart[at + 1]; ++i) {
            const int w = d.neighbours[i];
            if (dot(d.units[w], target) > dot(d.units[best], target))
                best = w;
        }
        if (best == at)
            return at;
        at = best;
    }
}

double valleyShare(const Drainage &d)
{
    int points = 0, valleys = 0;
    for (int v = 0; v < d.vertexCount; ++v) {
        const int r = d.receiver[v];
        if (d.isSea(v) || r < 0 || d.flowKm2[v] < 1e5 || d.lakeOf[v] >= 0)
            continue;
        ++points;
        const Vec3 along = d.units[r] - d.units[v];
        const Vec3 across = normalised(cross(d.units[v], along));
        const double step = 2 * std::sqrt(dot(along, along));
        bool below = true;
        for (int side = -1; side <= 1; side += 2) {
            const Vec3 p = normalised({d.units[v].x + side * step * across.x,
                                       d.units[v].y + side * step * across.y,
                                       d.units[v].z + side * step * across.z});
            const int w = nearestTo(d, v, p);
            below = below && !d.isSea(w) && d.level[w] > d.level[v];
        }
        valleys += below;
    }
    return points > 0 ? double(valleys) / points : 0;
}

// Hack's exponent over the basins of at least minKm2, and how many there are.
double hackExponent(const Drainage &d, double minKm2, int *basins)
{
    std::vector<int> mainDonor(d.vertexCount, -1);
    for (int v : d.order) {
        const int r = d.receiver[v];
        if (r >= 0 && !d.isSea(r) && (mainDonor[r] < 0 || d.flowKm2[v] > d.flowKm2[mainDonor[r]]))
            mainDonor[r] = v;
    }
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    for (const Basin &b : d.basins) {
        if (b.areaKm2 < minKm2)
            continue;
        double length = kmBetween(d, b.outlet, b.mouth) / 2;
        for (int v = b.outlet; mainDonor[v] >= 0; v = mainDonor[v])
            length += kmBetween(d, v, mainDonor[v]);
        const double x = std::log(b.areaKm2), y = std::log(std::max(length, 1.0));
        sx += x, sy += y, sxx += x * x, sxy += x * y, ++n;
    }
    *basins = n;
    return n > 1 ? (n * sxy - sx * sy) / (n * sxx - sx * sx) : 0;
}

// The shares of the top three levels' vertices within 300 and 500 km of a
// convergent boundary's vertex, along the graph.
void mountainsNearConvergence(const Drainage &d, const Plates &plates, double *within300,
                              double *within500)
{
    using Entry = std::pair<double, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
    std::vector<double> km(d.vertexCount, HUGE_VAL);
    for (const PlateEdge &edge : plates.edges) {
        if (edge.kind != BoundaryKind::Convergent)
            continue;
        for (int v : {edge.a, edge.b}) {
            km[v] = 0;
            queue.push({0.0, v});
        }
    }
    while (!queue.empty()) {
        const auto [k, v] = queue.top();
        queue.pop();
        if (k > km[v] || k > 500)
            continue;
        for (int i = d.neighbourStart[v]; i < d.neighbourStart[v + 1]; ++i) {
            const int w = d.neighbours[i];
            const double next = k + kmBetween(d, v, w);
            if (next < km[w]) {
                km[w] = next;
                queue.push({next, w});
            }
        }
    }
    int top = 0;
    for (int v = 0; v < d.vertexCount; ++v)
        top = std::max(top, d.level[v] <= 9 ? d.level[v] : 0);
    int mountains = 0, near300 = 0, near500 = 0;
    for (int v = 0; v < d.vertexCount; ++v) {
        if (d.level[v] > top - 3 && d.level[v] <= 9) {
            ++mountains;
            near300 += km[v] <= 300;
            near500 += km[v] <= 500;
        }
    }
    *within300 = mountains ? double(near300) / mountains : 0;
    *within500 = mountains ? double(near500) / mountains : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: globe-erosion-quality DIR\n");
        return 1;
    }
    World world;
    const Status loaded = loadWorld(QString::fromLocal8Bit(argv[1]), DemoTerrain::Off, &world);
    if (!loaded.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(loaded.message()));
        return 2;
    }
    const Drainage d = computeDrainage(world);
    int hackBasins = 0, large = 0;
    const double hack = hackExponent(d, 5e4, &hackBasins);
    double lakesKm2 = 0;
    for (const Lake &lake : d.lakes)
        lakesKm2 += lake.areaKm2;
    for (const Basin &b : d.basins)
        large += b.areaKm2 >= 1e6;
    std::printf("valleys %.3f\nhack %.3f\nhack_basins %d\nbasins_over_1e6_km2 %d\n"
                "lakes_share_of_land %.4f\n",
                valleyShare(d), hack, hackBasins, large, d.landKm2 > 0 ? lakesKm2 / d.landKm2 : 0);
    if (argc >= 4) {
        const Plates plates = growPlates(d, std::atoi(argv[3]), quint32(std::atoll(argv[2])));
        double within300 = 0, within500 = 0;
        mountainsNearConvergence(d, plates, &within300, &within500);
        std::printf("mountains_within_300_km_of_convergent %.3f\n"
                    "mountains_within_500_km_of_convergent %.3f\n",
                    within300, within500);
    }
    return 0;
}
