#include "erosion/streampower.h"

#include "sphere/sphere.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <queue>
#include <utility>

namespace {

// What does not change between steps: the edges' lengths and the cells'
// areas in metres.
struct Geometry
{
    std::vector<double> edgeM; // beside graph.neighbours
    std::vector<double> cellM2;
};

Geometry measure(const Drainage &graph)
{
    Geometry g;
    g.edgeM.resize(graph.neighbours.size());
    for (int v = 0; v < graph.vertexCount; ++v) {
        for (int i = graph.neighbourStart[v]; i < graph.neighbourStart[v + 1]; ++i)
            g.edgeM[i] = std::max(
                angleBetween(graph.units[v], graph.units[graph.neighbours[i]]) * earthRadiusM, 1.0);
    }
    g.cellM2.resize(graph.vertexCount);
    for (int v = 0; v < graph.vertexCount; ++v)
        g.cellM2[v] = graph.cellKm2[v] * 1e6;
    return g;
}

// One step's routing: the order from the sea uphill (every vertex after its
// receiver), the receivers (-1 for the sea and sinks) and the drainage areas.
struct Routing
{
    std::vector<int> order;
    std::vector<int> receiver;
    std::vector<int> receiverEdge; // index into neighbours, beside receiver
    std::vector<double> areaM2;
};

// Priority-flood from the sea, raising every vertex to at least rise above
// the one it was reached from, so that the surface drains strictly
// downhill. The order vertices leave the queue in is an order from the sea
// uphill. Land no flood from the sea reaches floods from its lowest vertex,
// which becomes a sink (sink set).
void fill(const Drainage &graph, const std::vector<char> &sea, double rise, std::vector<double> &h,
          std::vector<char> &sink, std::vector<int> &order)
{
    using Entry = std::pair<double, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
    const int n = graph.vertexCount;
    std::vector<char> reached(n, 0);
    sink.assign(n, 0);
    order.clear();
    // Only the coast's sea vertices start the flood: the open sea would
    // only deepen the queue.
    for (int v = 0; v < n; ++v) {
        if (!sea[v])
            continue;
        h[v] = 0;
        reached[v] = 1;
        for (int i = graph.neighbourStart[v]; i < graph.neighbourStart[v + 1]; ++i) {
            if (!sea[graph.neighbours[i]]) {
                queue.push({0.0, v});
                break;
            }
        }
    }
    int scanned = 0;
    for (;;) {
        while (!queue.empty()) {
            const int v = queue.top().second;
            queue.pop();
            order.push_back(v);
            for (int i = graph.neighbourStart[v]; i < graph.neighbourStart[v + 1]; ++i) {
                const int w = graph.neighbours[i];
                if (reached[w])
                    continue;
                reached[w] = 1;
                h[w] = std::max(h[w], h[v] + rise);
                queue.push({h[w], w});
            }
        }
        int lowest = -1;
        for (; scanned < n; ++scanned) {
            if (!reached[scanned])
                break;
        }
        for (int v = scanned; v < n; ++v) {
            if (!reached[v] && (lowest < 0 || h[v] < h[lowest]))
                lowest = v;
        }
        if (lowest < 0)
            return;
        reached[lowest] = 1;
        sink[lowest] = 1;
        queue.push({h[lowest], lowest});
    }
}

void route(const Drainage &graph, const Geometry &g, const std::vector<char> &sea,
           const std::vector<char> &sink, const std::vector<double> &h, Routing &r)
{
    const int n = graph.vertexCount;
    r.receiver.assign(n, -1);
    r.receiverEdge.assign(n, -1);
    for (int v = 0; v < n; ++v) {
        if (sea[v] || sink[v])
            continue;
        double steepest = 0;
        for (int i = graph.neighbourStart[v]; i < graph.neighbourStart[v + 1]; ++i) {
            const int w = graph.neighbours[i];
            const double slope = (h[v] - h[w]) / g.edgeM[i];
            if (slope > steepest) {
                steepest = slope;
                r.receiver[v] = w;
                r.receiverEdge[v] = i;
            }
        }
    }
    r.areaM2.assign(n, 0.0);
    for (int v = 0; v < n; ++v) {
        if (!sea[v])
            r.areaM2[v] = g.cellM2[v];
    }
    for (auto i = r.order.rbegin(); i != r.order.rend(); ++i) {
        const int v = *i;
        if (r.receiver[v] >= 0 && !sea[r.receiver[v]])
            r.areaM2[r.receiver[v]] += r.areaM2[v];
    }
}

// Braun and Willett's implicit step for n = 1, from the sea uphill: each
// height solved against its receiver's new height, stable for any step.
void incise(const std::vector<char> &sea, const std::vector<double> &uplift, const Geometry &g,
            const Routing &r, const StreamPower &p, std::vector<double> &h)
{
    const double dt = p.yearsPerStep;
    for (int v : r.order) {
        if (sea[v])
            continue;
        const double raised = h[v] + dt * uplift[v];
        const int to = r.receiver[v];
        if (to < 0) {
            h[v] = raised;
            continue;
        }
        const double area =
            p.areaExponent == 0.5 ? std::sqrt(r.areaM2[v]) : std::pow(r.areaM2[v], p.areaExponent);
        const double f = p.erodibility * dt * area / g.edgeM[r.receiverEdge[v]];
        h[v] = (raised + f * h[to]) / (1 + f);
    }
}

// Explicit diffusion on the graph, the Laplacian as 4 / (degree x length²)
// per edge (exact on a regular grid of any degree); where the step would be
// unstable the coefficients are scaled down to the stable limit, so a large
// diffusivity smooths as much as one step can.
void diffuse(const Drainage &graph, const Geometry &g, const std::vector<char> &sea,
             const StreamPower &p, std::vector<double> &h, std::vector<double> &scratch)
{
    if (p.diffusivity <= 0)
        return;
    const double kdt = p.diffusivity * p.yearsPerStep;
    scratch = h;
    for (int v = 0; v < graph.vertexCount; ++v) {
        if (sea[v])
            continue;
        const int begin = graph.neighbourStart[v], end = graph.neighbourStart[v + 1];
        const double perEdge = 4.0 * kdt / std::max(end - begin, 1);
        double total = 0, change = 0;
        for (int i = begin; i < end; ++i) {
            const double weight = perEdge / (g.edgeM[i] * g.edgeM[i]);
            total += weight;
            change += weight * (scratch[graph.neighbours[i]] - scratch[v]);
        }
        const double limit = 0.5;
        h[v] = scratch[v] + (total > limit ? change * limit / total : change);
    }
}

} // namespace

std::vector<double> erodeHeights(const Drainage &graph, const std::vector<char> &sea,
                                 const std::vector<double> &uplift,
                                 const std::vector<double> &initial, const StreamPower &params)
{
    const Geometry g = measure(graph);
    std::vector<double> h = initial, scratch;
    std::vector<char> sink;
    Routing r;
    for (int step = 0; step < params.steps; ++step) {
        fill(graph, sea, params.fillRiseM, h, sink, r.order);
        route(graph, g, sea, sink, h, r);
        incise(sea, uplift, g, r, params, h);
        diffuse(graph, g, sea, params, h, scratch);
        params.progress.update(step + 1, params.steps);
    }
    fill(graph, sea, params.fillRiseM, h, sink, r.order);
    return h;
}
