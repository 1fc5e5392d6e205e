#include "water/cells.h"

#include <algorithm>
#include <cmath>

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
