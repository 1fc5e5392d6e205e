#include "erosion/plates.h"

#include "generator/noise.h"
#include "sphere/sphere.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <queue>
#include <tuple>
#include <utility>

namespace {

using Entry = std::pair<double, int>;
using MinQueue = std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>>;

const double continentalShare = 0.35;
const double reachKm = 1200; // no boundary shapes land farther than this

Vec3 scaled(const Vec3 &a, double s)
{
    return {a.x * s, a.y * s, a.z * s};
}

double edgeKm(const Drainage &graph, int a, int b)
{
    return greatCircleKm(graph.units[a], graph.units[b]);
}

// A direction spread evenly over the sphere.
Vec3 randomUnit(SplitMix64 &random)
{
    const double z = 2 * random.unit() - 1, phi = 2 * pi * random.unit();
    const double r = std::sqrt(std::max(0.0, 1 - z * z));
    return {r * std::cos(phi), r * std::sin(phi), z};
}

std::vector<int> pickSeeds(int vertexCount, int count, SplitMix64 &random)
{
    std::vector<char> taken(vertexCount, 0);
    std::vector<int> seeds;
    while (int(seeds.size()) < count) {
        const int v = int(random.next() % std::uint64_t(vertexCount));
        if (!taken[v]) {
            taken[v] = 1;
            seeds.push_back(v);
        }
    }
    return seeds;
}

// Each plate floods outwards at its own rate over edges roughened by noise.
std::vector<int> grow(const Drainage &graph, const std::vector<int> &seeds,
                      const std::vector<double> &rate, const FractalNoise &rough)
{
    std::vector<int> plateOf(graph.vertexCount, -1);
    std::vector<double> cost(graph.vertexCount, HUGE_VAL);
    MinQueue queue;
    for (size_t p = 0; p < seeds.size(); ++p) {
        cost[seeds[p]] = 0;
        plateOf[seeds[p]] = int(p);
        queue.push({0.0, seeds[p]});
    }
    while (!queue.empty()) {
        const auto [c, v] = queue.top();
        queue.pop();
        if (c > cost[v])
            continue;
        for (int i = graph.neighbourStart[v]; i < graph.neighbourStart[v + 1]; ++i) {
            const int w = graph.neighbours[i];
            const double factor = 1 + 0.7 * rough.at(graph.units[w]);
            const double next = c + edgeKm(graph, v, w) * rate[plateOf[v]] * factor;
            if (next < cost[w]) {
                cost[w] = next;
                plateOf[w] = plateOf[v];
                queue.push({next, w});
            }
        }
    }
    return plateOf;
}

// The direction from plate P (a's) into plate Q (b's) at the edge a-b,
// from which plate the vertices around both ends lie on: a single edge of a
// ragged boundary points anywhere within 60 degrees.
Vec3 boundaryNormal(const Drainage &graph, const std::vector<int> &plateOf, int a, int b,
                    const Vec3 &at)
{
    const int p = plateOf[a], q = plateOf[b];
    Vec3 sum = {0, 0, 0};
    for (int end : {a, b}) {
        for (int i = graph.neighbourStart[end]; i < graph.neighbourStart[end + 1]; ++i) {
            const int w = graph.neighbours[i];
            const double side = plateOf[w] == q ? 1 : plateOf[w] == p ? -1 : 0;
            sum = sum + scaled(graph.units[w] - at, side);
        }
    }
    const Vec3 tangent = sum - scaled(at, dot(sum, at));
    return dot(tangent, tangent) > 0 ? normalised(tangent)
                                     : normalised(graph.units[b] - graph.units[a]);
}

void classify(const Drainage &graph, Plates &plates)
{
    for (int a = 0; a < graph.vertexCount; ++a) {
        for (int i = graph.neighbourStart[a]; i < graph.neighbourStart[a + 1]; ++i) {
            const int b = graph.neighbours[i];
            const int p = plates.plateOf[a], q = plates.plateOf[b];
            if (b < a || p == q)
                continue;
            const Vec3 at = normalised(graph.units[a] + graph.units[b]);
            const Vec3 relative = cross(plates.rotation[p] - plates.rotation[q], at);
            const Vec3 towards = boundaryNormal(graph, plates.plateOf, a, b, at);
            const double along = dot(relative, towards);
            const Vec3 rest = relative - scaled(towards, along);
            PlateEdge edge;
            edge.a = a;
            edge.b = b;
            edge.convergence = std::min(1.0, std::fabs(along) / 0.8);
            edge.kind = std::fabs(along) < 0.5 * std::sqrt(dot(rest, rest))
                            ? BoundaryKind::Transform
                        : along > 0 ? BoundaryKind::Convergent
                                    : BoundaryKind::Divergent;
            plates.edges.push_back(edge);
        }
    }
}

// For each vertex, the nearest boundary edge of the kind on its own plate,
// and the distance to it in km (HUGE_VAL beyond reachKm).
void nearestBoundary(const Drainage &graph, const Plates &plates, BoundaryKind kind,
                     std::vector<double> &distance, std::vector<int> &edgeOf)
{
    distance.assign(graph.vertexCount, HUGE_VAL);
    edgeOf.assign(graph.vertexCount, -1);
    MinQueue queue;
    for (size_t e = 0; e < plates.edges.size(); ++e) {
        const PlateEdge &edge = plates.edges[e];
        if (edge.kind != kind)
            continue;
        const double half = edgeKm(graph, edge.a, edge.b) / 2;
        for (int v : {edge.a, edge.b}) {
            if (half < distance[v]) {
                distance[v] = half;
                edgeOf[v] = int(e);
                queue.push({half, v});
            }
        }
    }
    while (!queue.empty()) {
        const auto [d, v] = queue.top();
        queue.pop();
        if (d > distance[v])
            continue;
        for (int i = graph.neighbourStart[v]; i < graph.neighbourStart[v + 1]; ++i) {
            const int w = graph.neighbours[i];
            const double next = d + edgeKm(graph, v, w);
            if (plates.plateOf[w] == plates.plateOf[v] && next < distance[w] && next < reachKm) {
                distance[w] = next;
                edgeOf[w] = edgeOf[v];
                queue.push({next, w});
            }
        }
    }
}

double bell(double x)
{
    return std::exp(-x * x);
}

// What a convergent boundary raises (or lowers) d km into plate own.
double collision(const Plates &plates, const std::vector<double> &density, int own, int other,
                 double c, double d)
{
    const bool continent = plates.continental[own], against = plates.continental[other];
    if (continent && against)
        return 3500 * c * bell(d / 450);
    if (continent)
        return 3000 * c * bell((d - 150) / 260);
    if (against)
        return -2500 * c * bell(d / 80);
    if (density[own] < density[other])
        return 4800 * c * bell((d - 100) / 80);
    return -2000 * c * bell(d / 60);
}

double spreading(const Plates &plates, int own, double c, double d)
{
    return plates.continental[own] ? -1500 * c * bell(d / 120) : 2000 * c * bell(d / 250);
}

int otherPlate(const Plates &plates, const PlateEdge &edge, int own)
{
    const int p = plates.plateOf[edge.a];
    return p == own ? plates.plateOf[edge.b] : p;
}

// The triangles on either side of edge a-b.
std::pair<int, int> trianglesOf(const Drainage &graph, int a, int b)
{
    int found[2] = {-1, -1}, n = 0;
    for (int i = graph.triangleStart[a]; i < graph.triangleStart[a + 1] && n < 2; ++i) {
        const int t = graph.triangles[i];
        for (int k = 0; k < 3; ++k) {
            if (graph.corners[3 * t + k] == b)
                found[n++] = t;
        }
    }
    return {found[0], found[1]};
}

Vec3 centreOf(const Drainage &graph, int t)
{
    const int *c = &graph.corners[3 * t];
    return normalised(graph.units[c[0]] + graph.units[c[1]] + graph.units[c[2]]);
}

// Walks the segments (pairs of triangles) of one group into lines: from
// the ends first, then round whatever closed loops remain.
void chain(const Drainage &graph, BoundaryKind kind,
           const std::vector<std::pair<int, int>> &segments, std::vector<BoundaryLine> &lines)
{
    std::map<int, std::vector<int>> at;
    for (size_t s = 0; s < segments.size(); ++s) {
        at[segments[s].first].push_back(int(s));
        at[segments[s].second].push_back(int(s));
    }
    std::vector<char> used(segments.size(), 0);
    auto walk = [&](int node) {
        BoundaryLine line;
        line.kind = kind;
        line.points.push_back(centreOf(graph, node));
        for (;;) {
            int next = -1;
            for (int s : at[node]) {
                if (!used[s]) {
                    next = s;
                    break;
                }
            }
            if (next < 0)
                break;
            used[next] = 1;
            node = segments[next].first == node ? segments[next].second : segments[next].first;
            line.points.push_back(centreOf(graph, node));
        }
        if (line.points.size() > 1)
            lines.push_back(std::move(line));
    };
    for (const auto &[node, list] : at) {
        if (list.size() % 2 == 1)
            walk(node);
    }
    for (const auto &[node, list] : at)
        walk(node);
}

} // namespace

const char *boundaryKindName(BoundaryKind kind)
{
    switch (kind) {
    case BoundaryKind::Convergent:
        return "convergent";
    case BoundaryKind::Divergent:
        return "divergent";
    case BoundaryKind::Transform:
        break;
    }
    return "transform";
}

Plates growPlates(const Drainage &graph, int count, quint32 seed)
{
    SplitMix64 random(std::uint64_t(seed) ^ 0x5EEDB0A7D0000000ull);
    count = std::max(1, std::min(count, graph.vertexCount));
    const std::vector<int> seeds = pickSeeds(graph.vertexCount, count, random);
    std::vector<double> rate(count);
    Plates plates;
    plates.rotation.resize(count);
    for (int p = 0; p < count; ++p) {
        rate[p] = 0.6 + 0.8 * random.unit();
        plates.rotation[p] = scaled(randomUnit(random), 0.3 + 0.7 * random.unit());
    }
    const FractalNoise rough(random, 4, 3.0);
    plates.plateOf = grow(graph, seeds, rate, rough);
    std::vector<double> area(count, 0.0);
    for (int v = 0; v < graph.vertexCount; ++v)
        area[plates.plateOf[v]] += graph.cellKm2[v];
    plates.continental.assign(count, 0);
    double covered = 0;
    // A plate that would overshoot by far stays oceanic, so that one huge
    // plate does not make a world of continents.
    const double sphereKm2 = 4 * pi * earthRadiusKm * earthRadiusKm;
    for (int p = 0; p < count && covered < continentalShare * sphereKm2; ++p) {
        if (covered + area[p] > (continentalShare + 0.08) * sphereKm2 && covered > 0)
            continue;
        plates.continental[p] = 1;
        covered += area[p];
    }
    classify(graph, plates);
    return plates;
}

std::vector<double> plateRelief(const Drainage &graph, const Plates &plates, quint32 seed)
{
    SplitMix64 random(std::uint64_t(seed) ^ 0x0E1EFA7E00000000ull);
    const FractalNoise crust(random, 5, 2.0);
    const FractalNoise belts(random, 3, 4.0);
    std::vector<double> density(plates.continental.size());
    for (double &d : density)
        d = random.unit();
    std::vector<double> relief(graph.vertexCount), distance;
    std::vector<int> edgeOf;
    for (int v = 0; v < graph.vertexCount; ++v)
        relief[v] =
            (plates.continental[plates.plateOf[v]] ? 500 : -4000) + 900 * crust.at(graph.units[v]);
    nearestBoundary(graph, plates, BoundaryKind::Convergent, distance, edgeOf);
    for (int v = 0; v < graph.vertexCount; ++v) {
        if (edgeOf[v] < 0)
            continue;
        const PlateEdge &edge = plates.edges[edgeOf[v]];
        const int own = plates.plateOf[v];
        // Belts rise in segments along a boundary, not as one even wall.
        const double segments = 0.7 + 0.5 * belts.at(graph.units[v]);
        relief[v] += segments * collision(plates, density, own, otherPlate(plates, edge, own),
                                          edge.convergence, distance[v]);
    }
    nearestBoundary(graph, plates, BoundaryKind::Divergent, distance, edgeOf);
    for (int v = 0; v < graph.vertexCount; ++v) {
        if (edgeOf[v] >= 0)
            relief[v] += spreading(plates, plates.plateOf[v], plates.edges[edgeOf[v]].convergence,
                                   distance[v]);
    }
    return relief;
}

std::vector<BoundaryLine> boundaryLines(const Drainage &graph, const Plates &plates)
{
    // Grouped by the two plates and the kind, in a fixed order.
    std::map<std::tuple<int, int, int>, std::vector<std::pair<int, int>>> groups;
    for (const PlateEdge &edge : plates.edges) {
        const auto [t1, t2] = trianglesOf(graph, edge.a, edge.b);
        if (t1 < 0 || t2 < 0)
            continue;
        const int p = plates.plateOf[edge.a], q = plates.plateOf[edge.b];
        groups[{std::min(p, q), std::max(p, q), int(edge.kind)}].push_back({t1, t2});
    }
    std::vector<BoundaryLine> lines;
    for (const auto &[key, segments] : groups)
        chain(graph, BoundaryKind(std::get<2>(key)), segments, lines);
    return lines;
}
