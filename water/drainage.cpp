#include "water/drainage.h"

#include "sphere/sphere.h"

#include <algorithm>
#include <cmath>
#include <queue>
#include <utility>
#include <vector>

namespace {

// Levels outside 1..9 lie on the sea's sphere.
int heightOf(int level)
{
    return level >= 1 && level <= 9 ? level : 0;
}

// Priority-flood (Barnes, Lehman and Mulla 2014) with one first-in first-out
// queue per level, since levels are small integers. Land no flood from the
// sea reaches (a world without sea, or a part cut off) floods from its
// lowest vertices, which become sinks.
void fill(Drainage &d, std::vector<char> &sink)
{
    const int n = d.vertexCount;
    d.filled.assign(n, -1);
    sink.assign(n, 0);
    std::vector<std::vector<int>> queues(10);
    std::vector<size_t> head(10, 0);
    auto flood = [&] {
        for (int q = 0; q < 10; ++q) {
            for (; head[q] < queues[q].size(); ++head[q]) {
                const int v = queues[q][head[q]];
                for (int i = d.neighbourStart[v]; i < d.neighbourStart[v + 1]; ++i) {
                    const int w = d.neighbours[i];
                    if (d.filled[w] >= 0)
                        continue;
                    d.filled[w] = std::max(heightOf(d.level[w]), q);
                    queues[d.filled[w]].push_back(w);
                }
            }
        }
    };
    for (int v = 0; v < n; ++v) {
        if (d.isSea(v)) {
            d.filled[v] = 0;
            queues[0].push_back(v);
        }
    }
    flood();
    for (;;) {
        int lowest = 10;
        for (int v = 0; v < n; ++v) {
            if (d.filled[v] < 0)
                lowest = std::min(lowest, heightOf(d.level[v]));
        }
        if (lowest == 10)
            return;
        for (int v = 0; v < n; ++v) {
            if (d.filled[v] < 0 && heightOf(d.level[v]) == lowest) {
                d.filled[v] = lowest;
                sink[v] = 1;
                queues[lowest].push_back(v);
            }
        }
        flood();
    }
}

// Steepest descent of the filled surface; -1 where no neighbour is lower.
void descend(Drainage &d, const std::vector<char> &sink)
{
    d.receiver.assign(d.vertexCount, -1);
    for (int v = 0; v < d.vertexCount; ++v) {
        if (d.isSea(v) || sink[v])
            continue;
        double steepest = 0;
        for (int i = d.neighbourStart[v]; i < d.neighbourStart[v + 1]; ++i) {
            const int w = d.neighbours[i];
            if (d.filled[w] >= d.filled[v])
                continue;
            const double slope =
                (d.filled[v] - d.filled[w]) / std::max(angleBetween(d.units[v], d.units[w]), 1e-12);
            if (slope > steepest) {
                steepest = slope;
                d.receiver[v] = w;
            }
        }
    }
}

// Breadth-first distances in edges from the given vertices (1 there),
// within the flat each lies on.
void distancesInFlats(const Drainage &d, const std::vector<int> &label,
                      const std::vector<int> &sources, std::vector<int> &distance)
{
    distance.assign(d.vertexCount, 0);
    std::vector<int> queue = sources;
    for (int v : sources)
        distance[v] = 1;
    for (size_t head = 0; head < queue.size(); ++head) {
        const int v = queue[head];
        for (int i = d.neighbourStart[v]; i < d.neighbourStart[v + 1]; ++i) {
            const int w = d.neighbours[i];
            if (label[w] == label[v] && distance[w] == 0) {
                distance[w] = distance[v] + 1;
                queue.push_back(w);
            }
        }
    }
}

// A well-mixed 64-bit hash of a vertex (splitmix64's finaliser).
quint64 vertexHash(int v)
{
    quint64 x = quint64(quint32(v)) + 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// Barnes, Lehman and Mulla's flat resolution (2014), on the graph: each
// vertex without a lower neighbour gets a gradient towards the flat's
// outlets and away from the higher ground around it, and drains down it.
void resolveFlats(Drainage &d, std::vector<char> &sink)
{
    const int n = d.vertexCount;
    auto isFlat = [&](int v) { return !d.isSea(v) && !sink[v] && d.receiver[v] < 0; };
    auto isOutlet = [&](int v, int w) { return d.filled[w] == d.filled[v] && !isFlat(w); };
    std::vector<int> label(n, -1), lowEdges, highEdges, flatHeight;
    int flats = 0;
    std::vector<int> queue;
    for (int start = 0; start < n; ++start) {
        if (!isFlat(start) || label[start] >= 0)
            continue;
        label[start] = flats;
        queue.assign(1, start);
        for (size_t head = 0; head < queue.size(); ++head) {
            const int v = queue[head];
            bool low = false, high = false;
            for (int i = d.neighbourStart[v]; i < d.neighbourStart[v + 1]; ++i) {
                const int w = d.neighbours[i];
                low = low || isOutlet(v, w);
                high = high || d.filled[w] > d.filled[v];
                if (isFlat(w) && label[w] < 0 && d.filled[w] == d.filled[v]) {
                    label[w] = flats;
                    queue.push_back(w);
                }
            }
            if (low)
                lowEdges.push_back(v);
            if (high)
                highEdges.push_back(v);
        }
        ++flats;
    }
    if (flats == 0)
        return;
    std::vector<int> away, towards;
    distancesInFlats(d, label, highEdges, away);
    distancesInFlats(d, label, lowEdges, towards);
    flatHeight.assign(flats, 0);
    for (int v = 0; v < n; ++v) {
        if (label[v] >= 0)
            flatHeight[label[v]] = std::max(flatHeight[label[v]], away[v]);
    }
    std::vector<int> mask(n, 0);
    for (int v = 0; v < n; ++v) {
        if (label[v] >= 0)
            mask[v] = 2 * towards[v] + (away[v] > 0 ? flatHeight[label[v]] - away[v] : 0);
    }
    // The flats are grown from their outlets in the order of the gradient
    // plus noise of up to flatNoise, each vertex draining to the neighbour
    // that reached it first: water on a flat follows the gradient, but
    // across a terrace of one level the noise lets neighbouring lines
    // wander, meet and join (as on a surface of random micro-relief) into a
    // tree converging on a few of the outlets, where the gradient alone
    // drew parallel lines, each to its own nearest point of the lower edge.
    // The noise is a hash of the vertex: the same drainage on every run.
    const double flatNoise = 8; // in the gradient's steps: 2 per edge towards
    auto keyOf = [&](int v) { return mask[v] + flatNoise * double(vertexHash(v) >> 11) * 0x1p-53; };
    using Entry = std::pair<double, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> front;
    std::vector<char> reached(n, 0);
    for (int v : lowEdges) {
        quint64 chosen = ~quint64(0);
        for (int i = d.neighbourStart[v]; i < d.neighbourStart[v + 1]; ++i) {
            const int w = d.neighbours[i];
            const quint64 key = vertexHash(w);
            if (label[w] != label[v] && isOutlet(v, w) && key <= chosen) {
                chosen = key;
                d.receiver[v] = w;
            }
        }
        reached[v] = 1;
        front.push({keyOf(v), v});
    }
    while (!front.empty()) {
        const int v = front.top().second;
        front.pop();
        for (int i = d.neighbourStart[v]; i < d.neighbourStart[v + 1]; ++i) {
            const int w = d.neighbours[i];
            if (label[w] == label[v] && !reached[w]) {
                reached[w] = 1;
                d.receiver[w] = v;
                front.push({keyOf(w), w});
            }
        }
    }
    for (int v = 0; v < n; ++v) {
        if (label[v] >= 0 && !reached[v]) // no way out: cannot happen after the flood
            sink[v] = 1;
    }
}

// Every land vertex before its receiver (Kahn's order, by vertex number among
// equals), then the flow down that order.
void accumulate(Drainage &d)
{
    const int n = d.vertexCount;
    std::vector<int> donors(n, 0);
    for (int v = 0; v < n; ++v) {
        if (d.receiver[v] >= 0)
            ++donors[d.receiver[v]];
    }
    d.order.clear();
    for (int v = 0; v < n; ++v) {
        if (!d.isSea(v) && donors[v] == 0)
            d.order.push_back(v);
    }
    for (size_t i = 0; i < d.order.size(); ++i) {
        const int r = d.receiver[d.order[i]];
        if (r >= 0 && !d.isSea(r) && --donors[r] == 0)
            d.order.push_back(r);
    }
    d.flowKm2.assign(n, 0.0);
    d.landKm2 = 0;
    for (int v = 0; v < n; ++v) {
        if (!d.isSea(v)) {
            d.flowKm2[v] = d.cellKm2[v];
            d.landKm2 += d.cellKm2[v];
        }
    }
    for (int v : d.order) {
        const int r = d.receiver[v];
        if (r >= 0 && !d.isSea(r))
            d.flowKm2[r] += d.flowKm2[v];
    }
}

void findLakes(Drainage &d, const std::vector<char> &sink)
{
    const int n = d.vertexCount;
    auto underLake = [&](int v) {
        return !d.isSea(v) && (sink[v] || d.filled[v] > heightOf(d.level[v]));
    };
    d.lakeOf.assign(n, -1);
    for (int start = 0; start < n; ++start) {
        if (!underLake(start) || d.lakeOf[start] >= 0)
            continue;
        Lake lake;
        lake.level = d.filled[start];
        const int index = int(d.lakes.size());
        d.lakeOf[start] = index;
        lake.vertices.push_back(start);
        for (size_t head = 0; head < lake.vertices.size(); ++head) {
            const int v = lake.vertices[head];
            lake.areaKm2 += d.cellKm2[v];
            for (int i = d.neighbourStart[v]; i < d.neighbourStart[v + 1]; ++i) {
                const int w = d.neighbours[i];
                if (underLake(w) && d.lakeOf[w] < 0 && d.filled[w] == lake.level) {
                    d.lakeOf[w] = index;
                    lake.vertices.push_back(w);
                }
            }
        }
        std::sort(lake.vertices.begin(), lake.vertices.end());
        for (int v = start; v >= 0; v = d.receiver[v]) {
            if (d.lakeOf[v] != index) {
                lake.outlet = v;
                break;
            }
        }
        d.lakes.push_back(std::move(lake));
    }
}

void findBasins(Drainage &d)
{
    d.basinOf.assign(d.vertexCount, -1);
    for (int v = 0; v < d.vertexCount; ++v) {
        const int r = d.receiver[v];
        if (!d.isSea(v) && r >= 0 && d.isSea(r)) {
            d.basinOf[v] = int(d.basins.size());
            d.basins.push_back({v, r, d.flowKm2[v]});
        }
    }
    for (auto i = d.order.rbegin(); i != d.order.rend(); ++i) {
        const int r = d.receiver[*i];
        if (r >= 0 && !d.isSea(r))
            d.basinOf[*i] = d.basinOf[r];
    }
}

} // namespace

Drainage computeDrainage(const World &world, double radiusKm)
{
    Drainage d;
    d.vertexCount = world.vertexCount;
    d.level.assign(world.levels.begin(), world.levels.begin() + world.vertexCount);
    static_cast<SphereGraph &>(d) = sphereGraph(world);
    d.cellKm2 = cellAreas(d.units, d.corners.data(), world.triangleCount, radiusKm);
    std::vector<char> sink;
    fill(d, sink);
    descend(d, sink);
    resolveFlats(d, sink);
    accumulate(d);
    findLakes(d, sink);
    findBasins(d);
    return d;
}
