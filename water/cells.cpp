#include "water/cells.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace {

// A corner of a ring: x its longitude unwrapped around the cell, w the same
// longitude in [-180, 180].
struct Point
{
    double x, y, w;
};

double wrapped(double lon)
{
    return lon - 360 * std::floor((lon + 180) / 360);
}

// The latitude where the edge a-b crosses the antimeridian, from the ends'
// own longitudes and in an order of the ends that neither cell's frame
// decides.
double crossingLatitude(Point a, Point b)
{
    if (b.y < a.y || (b.y == a.y && b.w < a.w))
        std::swap(a, b);
    const double da = 180 - std::fabs(a.w);
    const double db = 180 - std::fabs(b.w);
    if (da + db <= 0)
        return a.y;
    return a.y + da / (da + db) * (b.y - a.y);
}

// Sutherland and Hodgman: the part of the ring on the side of x = edge that
// keep says.
std::vector<Point> clip(const std::vector<Point> &ring, double edge, bool keepBelow)
{
    std::vector<Point> out;
    auto inside = [&](const Point &p) { return keepBelow ? p.x <= edge : p.x >= edge; };
    for (size_t i = 0; i < ring.size(); ++i) {
        const Point &a = ring[i];
        const Point &b = ring[(i + 1) % ring.size()];
        if (inside(a))
            out.push_back(a);
        if (inside(a) != inside(b) && a.x != edge && b.x != edge)
            out.push_back({edge, crossingLatitude(a, b), edge});
    }
    return out;
}

double signedArea(const std::vector<Point> &ring)
{
    double sum = 0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const Point &a = ring[i];
        const Point &b = ring[(i + 1) % ring.size()];
        sum += a.x * b.y - b.x * a.y;
    }
    return sum / 2;
}

} // namespace

std::vector<Ring> cellRings(const Drainage &d, int v)
{
    const Vec3 u = d.units[v];
    const Vec3 axis = std::fabs(u.z) < 0.9 ? Vec3{0, 0, 1} : Vec3{1, 0, 0};
    const Vec3 e1 = normalised(cross(axis, u));
    const Vec3 e2 = cross(u, e1);
    std::vector<std::pair<double, Vec3>> centres;
    for (int i = d.triangleStart[v]; i < d.triangleStart[v + 1]; ++i) {
        const int *c = &d.corners[3 * d.triangles[i]];
        const Vec3 centre = normalised(d.units[c[0]] + d.units[c[1]] + d.units[c[2]]);
        centres.push_back({std::atan2(dot(centre, e2), dot(centre, e1)), centre});
    }
    std::sort(centres.begin(), centres.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    if (centres.size() < 3)
        return {};
    std::vector<Point> ring;
    double previous = lonLatOf(u).lon;
    for (const auto &centre : centres) {
        const LonLat p = lonLatOf(centre.second);
        const double x = previous + wrapped(p.lon - previous);
        ring.push_back({x, p.lat, p.lon});
        previous = x;
    }
    const Point first = ring.front();
    const double winding = previous + wrapped(first.w - previous) - first.x;
    if (std::fabs(winding) > 180) { // around a pole: close along its parallel
        const double pole = winding > 0 ? 90 : -90;
        ring.push_back({first.x + winding, first.y, first.w});
        ring.push_back({first.x + winding, pole, wrapped(first.x + winding)});
        ring.push_back({first.x, pole, first.w});
    }
    std::vector<Ring> rings;
    for (double shift : {-360.0, 0.0, 360.0}) {
        std::vector<Point> moved = ring;
        for (Point &p : moved)
            p.x += shift;
        moved = clip(clip(moved, 180, true), -180, false);
        if (moved.size() < 3 || std::fabs(signedArea(moved)) < 1e-12)
            continue;
        Ring out;
        for (const Point &p : moved)
            out.push_back({p.x, p.y});
        rings.push_back(std::move(out));
    }
    return rings;
}

namespace {

// The cells of two neighbours compute their shared corners alike, but
// through their own unwrapped longitudes: corners are matched to a
// nanodegree, and each is written as it was seen first. An open-addressed
// table, as every corner of every cell passes through it.
class Corners
{
public:
    explicit Corners(size_t expected)
    {
        size_t size = 16;
        while (size < 2 * expected)
            size *= 2;
        slots.assign(size, Slot{});
    }
    int idOf(const LonLat &p)
    {
        const long long x = std::llround(p.lon * 1e9), y = std::llround(p.lat * 1e9);
        std::uint64_t h = std::uint64_t(x) * 0x9e3779b97f4a7c15ULL ^ std::uint64_t(y);
        h = (h ^ (h >> 29)) * 0xbf58476d1ce4e5b9ULL;
        for (size_t i = size_t(h ^ (h >> 32)) & (slots.size() - 1);;
             i = (i + 1) & (slots.size() - 1)) {
            Slot &slot = slots[i];
            if (slot.id < 0) {
                slot = {x, y, int(points.size())};
                points.push_back(p);
                if (2 * points.size() > slots.size())
                    grow();
                return int(points.size()) - 1;
            }
            if (slot.x == x && slot.y == y)
                return slot.id;
        }
    }
    const LonLat &at(int id) const { return points[size_t(id)]; }
    int count() const { return int(points.size()); }

private:
    struct Slot
    {
        long long x = 0, y = 0;
        int id = -1;
    };
    void grow()
    {
        std::vector<LonLat> kept;
        kept.swap(points);
        slots.assign(2 * slots.size(), Slot{});
        for (const LonLat &p : kept)
            idOf(p);
    }
    std::vector<Slot> slots;
    std::vector<LonLat> points;
};

double ringArea(const Ring &ring)
{
    double sum = 0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const LonLat &a = ring[i], &b = ring[(i + 1) % ring.size()];
        sum += a.lon * b.lat - b.lon * a.lat;
    }
    return sum / 2;
}

// Whether p lies inside ring (crossings of a ray towards +x).
bool ringHolds(const Ring &ring, const LonLat &p)
{
    bool inside = false;
    for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const LonLat &a = ring[i], &b = ring[j];
        if ((a.lat > p.lat) != (b.lat > p.lat) &&
            p.lon < (b.lon - a.lon) * (p.lat - a.lat) / (b.lat - a.lat) + a.lon)
            inside = !inside;
    }
    return inside;
}

// The boundary's edges, each once: the cells' edges less those two cells
// share, as the corners each edge leaves from leads to. A corner is a
// triangle's centre, a point of the antimeridian or of a pole's parallel,
// so a handful of edges leave it; the lists stay short.
std::vector<std::vector<int>> boundaryEdges(const Drainage &d, const std::vector<int> &vertices,
                                            Corners &corners)
{
    std::vector<std::vector<int>> out;
    for (int v : vertices) {
        for (const Ring &ring : cellRings(d, v)) {
            for (size_t i = 0; i < ring.size(); ++i) {
                const int a = corners.idOf(ring[i]), b = corners.idOf(ring[(i + 1) % ring.size()]);
                if (a == b)
                    continue;
                if (out.size() < size_t(corners.count()))
                    out.resize(size_t(corners.count()));
                std::vector<int> &back = out[size_t(b)];
                const auto shared = std::find(back.begin(), back.end(), a);
                if (shared != back.end())
                    back.erase(shared);
                else
                    out[size_t(a)].push_back(b);
            }
        }
    }
    out.resize(size_t(corners.count()));
    for (std::vector<int> &ends : out)
        std::sort(ends.begin(), ends.end()); // the same rings whatever the cells' order
    return out;
}

// Of the edges leaving p, the one turning furthest left from the way in.
size_t leftmost(const Corners &corners, int from, int p, const std::vector<int> &ends)
{
    const LonLat &a = corners.at(from), &b = corners.at(p);
    const double inX = b.lon - a.lon, inY = b.lat - a.lat;
    size_t best = 0;
    double bestTurn = -10;
    for (size_t k = 0; k < ends.size(); ++k) {
        const LonLat &c = corners.at(ends[k]);
        const double outX = c.lon - b.lon, outY = c.lat - b.lat;
        const double turn = std::atan2(inX * outY - inY * outX, inX * outX + inY * outY);
        if (turn > bestTurn) {
            bestTurn = turn;
            best = k;
        }
    }
    return best;
}

} // namespace

std::vector<CellPolygon> cellRegion(const Drainage &d, const std::vector<int> &vertices)
{
    Corners corners(4 * vertices.size());
    std::vector<std::vector<int>> ends = boundaryEdges(d, vertices, corners);
    std::vector<Ring> shells, holes;
    for (int start = 0; start < corners.count(); ++start) {
        while (!ends[size_t(start)].empty()) {
            Ring ring{corners.at(start)};
            int previous = start, p = ends[size_t(start)].back();
            ends[size_t(start)].pop_back();
            while (p != start && !ends[size_t(p)].empty()) {
                ring.push_back(corners.at(p));
                std::vector<int> &out = ends[size_t(p)];
                const size_t k = leftmost(corners, previous, p, out);
                previous = p;
                p = out[k];
                out.erase(out.begin() + long(k));
            }
            if (ring.size() < 3)
                continue;
            (ringArea(ring) > 0 ? shells : holes).push_back(std::move(ring));
        }
    }
    std::vector<CellPolygon> polygons(shells.size());
    std::vector<double> areas(shells.size());
    for (size_t i = 0; i < shells.size(); ++i) {
        areas[i] = ringArea(shells[i]);
        polygons[i].shell = std::move(shells[i]);
    }
    for (Ring &hole : holes) {
        // A point of the hole's first edge lies within its shell, on no other ring.
        const LonLat probe{(hole[0].lon + hole[1].lon) / 2, (hole[0].lat + hole[1].lat) / 2};
        long owner = -1;
        for (size_t i = 0; i < polygons.size(); ++i) {
            if ((owner < 0 || areas[i] < areas[size_t(owner)]) &&
                ringHolds(polygons[i].shell, probe))
                owner = long(i);
        }
        if (owner >= 0)
            polygons[size_t(owner)].holes.push_back(std::move(hole));
    }
    return polygons;
}
