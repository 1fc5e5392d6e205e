#include "meshes/printhalves.h"

#include "meshes/meshframe.h"
#include "sphere/sphere.h"
#include "terrain/levelrules.h"
#include "terrain/vec3.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cmath>

namespace {

// The cut face's inner circle, through which the holes' sectors meet the
// band along the rim, and each hole's wall: enough corners that a pin
// meets a round hole.
const int innerCorners = 96; // a multiple of the three holes
const int holeCorners = 24;
const int holeCount = 3;
// The inner circle lies this share of the rim's nearest point out, leaving
// a band for the rim's own corners.
const double innerShare = 0.95;

// A solid being built: points in millimetres, a level per point, corners of
// triangles counter-clockwise seen from outside.
struct Solid
{
    QVector<Vec3> points;
    QVector<int> levels;
    QVector<int> corners;

    int add(const Vec3 &p, int level = 0)
    {
        points << p;
        levels << level;
        return points.size() - 1;
    }
    void triangle(int a, int b, int c) { corners << a << b << c; }
};

// The globe with the points where the equator crosses its edges, and each
// side's triangles (0 north, 1 south) over them. A triangle touching the
// plane only at a corner or an edge stays whole on its side.
struct Cut
{
    Solid whole;
    QVector<int> sides[2];
};

Cut cutAtEquator(const DrawnMesh &mesh, double scale)
{
    Cut cut;
    const QVector<float> framed = framedPositions(mesh, UpAxis::Z, scale);
    // The equator's own vertices come out of the float positions a rounding
    // off the plane; cut there, they would leave slivers whose corners
    // coincide once written as floats. Put on it, they are the rim.
    const double onPlane = 1e-5 * scale * 2 * baseSphereRadius;
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        const double z = framed[3 * v + 2];
        // Placed already, the halves keep only what colours and paints them.
        cut.whole.add({framed[3 * v], framed[3 * v + 1], std::fabs(z) < onPlane ? 0.0 : z},
                      shownLevel(mesh, v));
    }
    QHash<quint64, int> crossings;
    // Made once per edge, from its lower-numbered end, so both sides share it
    // and its position does not depend on which triangle asks.
    auto crossing = [&](int a, int b) {
        if (a > b)
            std::swap(a, b);
        const quint64 key = quint64(a) << 32 | quint64(b);
        auto found = crossings.constFind(key);
        if (found != crossings.constEnd())
            return *found;
        const Vec3 pa = cut.whole.points[a], pb = cut.whole.points[b];
        const double t = pa.z / (pa.z - pb.z);
        const Vec3 p{pa.x + (pb.x - pa.x) * t, pa.y + (pb.y - pa.y) * t, 0.0};
        const int made = cut.whole.add(p, cut.whole.levels[t < 0.5 ? a : b]);
        crossings.insert(key, made);
        return made;
    };
    for (int t = 0; t < mesh.triangleCount(); ++t) {
        const int *abc = mesh.corners.constData() + 3 * t;
        for (int side = 0; side < 2; ++side) {
            const double sign = side == 0 ? 1 : -1;
            QVector<int> polygon;
            for (int k = 0; k < 3; ++k) {
                const int a = abc[k], b = abc[(k + 1) % 3];
                const double za = sign * cut.whole.points[a].z, zb = sign * cut.whole.points[b].z;
                if (za >= 0)
                    polygon << a;
                if ((za > 0 && zb < 0) || (za < 0 && zb > 0))
                    polygon << crossing(a, b);
            }
            for (int k = 1; k + 1 < polygon.size(); ++k)
                cut.sides[side] << polygon[0] << polygon[k] << polygon[k + 1];
        }
    }
    return cut;
}

// How near the surface may come to the centre: every corner stands on the
// base sphere or above it, and a triangle whose corners are at most an
// angle apart seen from the centre comes no nearer than its cosine of it.
double nearestSurfaceMm(const DrawnMesh &mesh, double baseRadiusMm)
{
    double cosine = 1;
    for (int t = 0; t < mesh.triangleCount(); ++t) {
        for (int k = 0; k < 3; ++k) {
            const float *a = mesh.positions.constData() + 3 * mesh.corners[3 * t + k];
            const float *b = mesh.positions.constData() + 3 * mesh.corners[3 * t + (k + 1) % 3];
            const Vec3 u = normalised({a[0], a[1], a[2]}), v = normalised({b[0], b[1], b[2]});
            cosine = std::min(cosine, dot(u, v));
        }
    }
    return baseRadiusMm * std::max(0.0, cosine);
}

struct HoleLayout
{
    double centreRadius, radius, depth;
};

HoleLayout holeLayout(double pinMm, double innerRadiusMm)
{
    return {innerShare * innerRadiusMm / 2, (pinMm + pinClearanceMm) / 2, pinDepthFactor * pinMm};
}

// Walls of pinWallMm between each hole and the inner circle, the next hole
// (its sector's edge) and the surface above its roof.
bool pinsFit(double pinMm, double innerRadiusMm)
{
    const HoleLayout hole = holeLayout(pinMm, innerRadiusMm);
    const double outer = hole.centreRadius + hole.radius;
    return hole.radius + pinWallMm <= innerShare * innerRadiusMm - hole.centreRadius &&
           hole.radius + pinWallMm / 2 <= hole.centreRadius * std::sin(pi / holeCount) &&
           outer < innerRadiusMm &&
           hole.depth + pinWallMm <= std::sqrt(innerRadiusMm * innerRadiusMm - outer * outer);
}

// The two ways a cut can fail, neither of which a drawn globe should meet.
Status notOneLoop()
{
    return Status::refused(QStringLiteral("export: the equator does not cut this globe in one "
                                          "loop around the pole, so it cannot be printed in "
                                          "halves"));
}

Status folds()
{
    return Status::refused(QStringLiteral("export: the cut face of this globe's halves would "
                                          "fold over itself, so it cannot be printed in "
                                          "halves"));
}

double angleAround(const Vec3 &p, const QPointF &centre)
{
    return std::atan2(p.y - centre.y(), p.x - centre.x());
}

double turnOf(const Solid &s, int a, int b, int c)
{
    const Vec3 &pa = s.points[a], &pb = s.points[b], &pc = s.points[c];
    return (pb.x - pa.x) * (pc.y - pa.y) - (pb.y - pa.y) * (pc.x - pa.x);
}

// A ring's points from the one at the least angle around centre, with
// their angles rising through one turn.
void unwrap(const Solid &s, QVector<int> &ring, const QPointF &centre, QVector<double> &angles)
{
    QVector<double> raw;
    for (int p : ring)
        raw << angleAround(s.points[p], centre);
    const int first = int(std::min_element(raw.begin(), raw.end()) - raw.begin());
    std::rotate(ring.begin(), ring.begin() + first, ring.end());
    std::rotate(raw.begin(), raw.begin() + first, raw.end());
    angles.clear();
    for (double a : raw)
        angles << (angles.isEmpty() || a >= angles.last() ? a : a + 2 * pi);
    angles << angles.first() + 2 * pi;
}

// The cut face between an outer and an inner ring around centre, both
// counter-clockwise in the plane z = 0: each step joins the ring whose next
// point comes first around the centre, unless that triangle would fold
// over and the other's would not. The face looks down (the solid lies
// above it), so its triangles turn clockwise seen from above. Refused when
// a triangle would fold over whichever ring steps.
Status band(QVector<int> outer, QVector<int> inner, const QPointF &centre, Solid &s)
{
    QVector<double> outerAngles, innerAngles;
    unwrap(s, outer, centre, outerAngles);
    unwrap(s, inner, centre, innerAngles);
    const int n = outer.size(), m = inner.size();
    int i = 0, j = 0;
    while (i < n || j < m) {
        const int o = outer[i % n], in = inner[j % m];
        const int nextOuter = outer[(i + 1) % n], nextInner = inner[(j + 1) % m];
        const bool outerTurns = i < n && turnOf(s, o, nextOuter, in) > 0;
        const bool innerTurns = j < m && turnOf(s, o, nextInner, in) > 0;
        const bool outerFirst = j == m || (i < n && outerAngles[i + 1] <= innerAngles[j + 1]);
        if (outerTurns && (outerFirst || !innerTurns)) {
            s.triangle(o, in, nextOuter);
            ++i;
        } else if (innerTurns) {
            s.triangle(o, in, nextInner);
            ++j;
        } else {
            return folds();
        }
    }
    return Status();
}

// A hole's wall and roof, going up from its ring in the cut face.
void holeWalls(const QVector<int> &ring, double depth, Solid &s)
{
    QVector<int> roof;
    for (int p : ring)
        roof << s.add(s.points[p] + Vec3{0, 0, depth});
    const int k = ring.size();
    for (int j = 0; j < k; ++j) {
        const int next = (j + 1) % k;
        s.triangle(ring[next], ring[j], roof[j]);
        s.triangle(ring[next], roof[j], roof[next]);
    }
    for (int j = 1; j + 1 < k; ++j)
        s.triangle(roof[0], roof[j + 1], roof[j]);
}

QVector<int> circle(Solid &s, const QPointF &centre, double radius, int corners, double start)
{
    QVector<int> ring;
    for (int j = 0; j < corners; ++j) {
        const double a = start + 2 * pi * j / corners;
        ring << s.add({centre.x() + radius * std::cos(a), centre.y() + radius * std::sin(a), 0.0});
    }
    return ring;
}

// The flat face closing a half along its rim, with the holes in it.
Status closeCutFace(const QVector<int> &rim, const QVector<QPointF> &holes, double holeRadius,
                    double depth, double innerRadius, Solid &s)
{
    const int centre = s.add({0, 0, 0});
    if (holes.isEmpty()) {
        for (int i = 0; i < rim.size(); ++i) {
            const int a = rim[i], b = rim[(i + 1) % rim.size()];
            if (!(turnOf(s, centre, a, b) > 0))
                return folds();
            s.triangle(centre, b, a);
        }
        return Status();
    }
    // One sector of the inner circle per hole, its edges halfway between
    // the holes.
    const double start = std::atan2(holes[0].y(), holes[0].x()) - pi / holeCount;
    const QVector<int> inner = circle(s, {0, 0}, innerShare * innerRadius, innerCorners, start);
    Status status = band(rim, inner, {0, 0}, s);
    const int perSector = innerCorners / holeCount;
    for (int h = 0; status.ok() && h < holes.size(); ++h) {
        // The holes are a third of a turn apart, in either order.
        const double turn = std::atan2(holes[h].y(), holes[h].x()) - pi / holeCount - start;
        const int first = int(std::lround(turn / (2 * pi) * innerCorners));
        QVector<int> sector{centre};
        for (int j = 0; j <= perSector; ++j)
            sector << inner[((first + j) % innerCorners + innerCorners) % innerCorners];
        const QVector<int> ring = circle(s, holes[h], holeRadius, holeCorners, 0);
        status = band(sector, ring, holes[h], s);
        holeWalls(ring, depth, s);
    }
    return status;
}

// One side's triangles as a solid of its own, turned so that it lies on the
// cut face, and the rim of its cut face counter-clockwise seen from above.
// Refused when the rim is not one loop around the pole running that way.
Status takeSide(const Cut &cut, int side, Solid &half, QVector<int> &rim)
{
    QHash<int, int> taken;
    auto take = [&](int v) {
        auto found = taken.constFind(v);
        if (found != taken.constEnd())
            return *found;
        Vec3 p = cut.whole.points[v];
        // Adding 0 turns the rim's -0 into 0, as the bed's plane.
        if (side == 1)
            p = {p.x, -p.y + 0.0, -p.z + 0.0};
        return *taken.insert(v, half.add(p, cut.whole.levels[v]));
    };
    QHash<quint64, int> edges;
    auto edgeKey = [](int a, int b) { return quint64(a) << 32 | quint64(b); };
    const QVector<int> &corners = cut.sides[side];
    for (int t = 0; 3 * t < corners.size(); ++t) {
        const int a = take(corners[3 * t]), b = take(corners[3 * t + 1]),
                  c = take(corners[3 * t + 2]);
        half.triangle(a, b, c);
        edges[edgeKey(a, b)]++, edges[edgeKey(b, c)]++, edges[edgeKey(c, a)]++;
    }
    QHash<int, int> next; // along the rim
    for (auto e = edges.cbegin(); e != edges.cend(); ++e) {
        const int a = int(e.key() >> 32), b = int(e.key() & 0xffffffffu);
        if (edges.contains(edgeKey(b, a)))
            continue;
        if (e.value() != 1 || next.contains(a) || half.points[a].z != 0 || half.points[b].z != 0)
            return notOneLoop();
        next.insert(a, b);
    }
    rim = next.keys().toVector();
    const QPointF origin(0, 0);
    std::sort(rim.begin(), rim.end(), [&](int a, int b) {
        return angleAround(half.points[a], origin) < angleAround(half.points[b], origin);
    });
    for (int i = 0; i < rim.size(); ++i) {
        if (next.value(rim[i], -1) != rim[(i + 1) % rim.size()])
            return notOneLoop();
    }
    return rim.size() >= 3 ? Status() : notOneLoop();
}

// The half in model units, moved by offset (millimetres) on the bed.
DrawnMesh placed(const Solid &half, const QPointF &offset, double scale)
{
    DrawnMesh mesh;
    for (const Vec3 &p : half.points) {
        mesh.positions << float((p.x + offset.x()) / scale) << float((p.y + offset.y()) / scale)
                       << float(p.z / scale);
    }
    mesh.levels = half.levels;
    mesh.corners = half.corners;
    return mesh;
}

struct Extent
{
    double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
};

Extent extentOf(const Solid &s)
{
    Extent e;
    for (const Vec3 &p : s.points) {
        e.minX = std::min(e.minX, p.x), e.maxX = std::max(e.maxX, p.x);
        e.minY = std::min(e.minY, p.y), e.maxY = std::max(e.maxY, p.y);
    }
    return e;
}

} // namespace

double largestPinMm(double innerRadiusMm)
{
    double fits = 0, fails = 2 * innerRadiusMm;
    if (!pinsFit(1e-6, innerRadiusMm))
        return 0;
    for (int step = 0; step < 60; ++step) {
        const double mid = (fits + fails) / 2;
        (pinsFit(mid, innerRadiusMm) ? fits : fails) = mid;
    }
    return fits;
}

Status cutIntoHalves(const DrawnMesh &mesh, const HalvesOptions &options, PrintHalves &halves)
{
    const double scale = millimetresPerUnit(options.diameterMm);
    const Cut cut = cutAtEquator(mesh, scale);
    const double inner = nearestSurfaceMm(mesh, options.diameterMm / 2);
    const double pin = options.pinDiameterMm;
    if (pin > 0 && !pinsFit(pin, inner)) {
        const double largest = std::floor(largestPinMm(inner) * 100) / 100;
        return Status::refused(
            QStringLiteral("export: --pins %1: holes for pins %1 mm across do not fit a half of "
                           "this globe with %2 mm of wall around them; %3")
                .arg(pin)
                .arg(pinWallMm)
                .arg(largest > 0 ? QStringLiteral("the largest pin that fits is %1 mm")
                                       .arg(largest, 0, 'f', 2)
                                 : QStringLiteral("no pin does")));
    }
    const HoleLayout hole = holeLayout(pin, inner);
    halves.holeCentresMm.clear();
    if (pin > 0) {
        for (int h = 0; h < holeCount; ++h) {
            const double a = pi / 2 + 2 * pi * h / holeCount;
            halves.holeCentresMm << QPointF(hole.centreRadius * std::cos(a),
                                            hole.centreRadius * std::sin(a));
        }
        halves.holeDiameterMm = 2 * hole.radius;
        halves.holeDepthMm = hole.depth;
    }
    Solid sides[2];
    for (int side = 0; side < 2; ++side) {
        QVector<int> rim;
        QVector<QPointF> holes = halves.holeCentresMm;
        if (side == 1) {
            for (QPointF &h : holes)
                h.setY(-h.y());
        }
        Status status = takeSide(cut, side, sides[side], rim);
        if (status.ok())
            status = closeCutFace(rim, holes, hole.radius, hole.depth, inner, sides[side]);
        if (!status.ok())
            return status;
    }
    // Apart by a twentieth of the globe, and never less than 2 mm.
    const double gap = std::max(2.0, options.diameterMm / 20);
    const Extent north = extentOf(sides[0]), south = extentOf(sides[1]);
    halves.northOffsetMm = {-gap / 2 - north.maxX, -(north.minY + north.maxY) / 2};
    halves.southOffsetMm = {gap / 2 - south.minX, -(south.minY + south.maxY) / 2};
    halves.north = placed(sides[0], halves.northOffsetMm, scale);
    halves.south = placed(sides[1], halves.southOffsetMm, scale);
    return Status();
}

QString halfFileName(const QString &path, const char *half)
{
    const QFileInfo file(path);
    const QString name = file.completeBaseName() + QLatin1Char('-') + QLatin1String(half) +
                         QLatin1Char('.') + file.suffix();
    return file.path() == QLatin1String(".") && !path.startsWith(QLatin1String("./"))
               ? name
               : file.path() + QLatin1Char('/') + name;
}
