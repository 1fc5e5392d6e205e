#include "generator/meshcheck.h"

#include "terrain/vec3.h"
#include "world/meshrules.h"
#include "world/rulereport.h"
#include "world/worldload.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

Vec3 pointAt(const QVector<float> &coords, int v)
{
    return unitDirection(coords[2 * v], coords[2 * v + 1]);
}

void checkOrientation(const QVector<float> &coords, const QVector<int> &corners, int triangles,
                      QStringList &out)
{
    RuleReport report(out, cornersFileName, "triangles not counter-clockwise");
    for (int t = 0; t < triangles; ++t) {
        const double turn =
            outwardTurn(pointAt(coords, corners[4 * t]), pointAt(coords, corners[4 * t + 1]),
                        pointAt(coords, corners[4 * t + 2]));
        if (turn <= 0)
            report.add(QStringLiteral("triangle %1 is %2 seen from outside")
                           .arg(t)
                           .arg(turn < 0 ? "clockwise" : "flat"));
    }
}

// An edge as a sortable number: its end vertices, low first, and in the
// lowest bit whether this triangle outlines it.
quint64 edgeKey(int a, int b, bool outlined)
{
    return (quint64(std::min(a, b)) << 32 | quint64(std::max(a, b))) << 1 | quint64(outlined);
}

void checkOutlines(const QVector<int> &corners, int triangles, QStringList &out)
{
    std::vector<quint64> keys;
    keys.reserve(3 * size_t(triangles));
    for (int t = 0; t < triangles; ++t) {
        const int a = corners[4 * t], b = corners[4 * t + 1], c = corners[4 * t + 2];
        const bool single = corners[4 * t + 3] != 0;
        keys.push_back(edgeKey(a, b, single));
        keys.push_back(edgeKey(b, c, !single));
        keys.push_back(edgeKey(c, a, !single));
    }
    std::sort(keys.begin(), keys.end());
    RuleReport report(out, cornersFileName, "edges not outlined exactly once");
    for (size_t i = 0, next = 0; i < keys.size(); i = next) {
        int outlined = 0;
        for (next = i; next < keys.size() && keys[next] >> 1 == keys[i] >> 1; ++next)
            outlined += int(keys[next] & 1);
        if (outlined != 1)
            report.add(QStringLiteral("edge %1-%2 is outlined %3 times")
                           .arg(keys[i] >> 33)
                           .arg((keys[i] >> 1) & 0xFFFFFFFFu)
                           .arg(outlined));
    }
}

// Counter-clockwise from outside, the triangle after (v, b, c) around v
// starts with the edge v -> c.
bool followsAround(const QVector<int> &corners, int v, int t, int next)
{
    const int before = corners[4 * t + (cornerIndex(corners.constData() + 4 * t, v) + 2) % 3];
    return corners[4 * next + (cornerIndex(corners.constData() + 4 * next, v) + 1) % 3] == before;
}

class FanCheck
{
public:
    FanCheck(const QVector<int> &corners, const QVector<int> &fans, int vertices, int triangles,
             QStringList &out)
        : corners(corners), fans(fans), incident(vertices, 0),
          size(out, fansFileName, "fans of the wrong size"),
          order(out, fansFileName, "fans out of order")
    {
        for (int i = 0; i < 4 * triangles; ++i) {
            if (i % 4 != 3)
                ++incident[corners[i]];
        }
    }

    void check(int v)
    {
        const int count = incident[v];
        const int *fan = fans.constData() + 6 * v;
        if (count != 5 && count != 6) {
            size.add(QStringLiteral("vertex %1 is a corner of %2 triangles, but a fan holds 5 "
                                    "or 6")
                         .arg(v)
                         .arg(count));
            return;
        }
        if (count == 5 && fanTriangleCount(fan) != 5)
            size.add(QStringLiteral("vertex %1 has five triangles, but fan entry 5 (triangle "
                                    "%2) does not repeat entry 4 (triangle %3)")
                         .arg(v)
                         .arg(fan[5])
                         .arg(fan[4]));
        if (!listsAllOnce(fan, count))
            size.add(
                QStringLiteral("vertex %1 fan lists a triangle twice and so misses one").arg(v));
        for (int i = 0; i < count; ++i) {
            const int t = fan[i], next = fan[(i + 1) % count];
            if (!followsAround(corners, v, t, next))
                order.add(QStringLiteral("vertex %1 fan entries %2 and %3 (triangles %4 and %5) "
                                         "do not go counter-clockwise around it")
                              .arg(v)
                              .arg(i)
                              .arg((i + 1) % count)
                              .arg(t)
                              .arg(next));
        }
    }

private:
    static bool listsAllOnce(const int *fan, int count)
    {
        std::vector<int> sorted(fan, fan + count);
        std::sort(sorted.begin(), sorted.end());
        return std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
    }

    const QVector<int> &corners;
    const QVector<int> &fans;
    std::vector<int> incident;
    RuleReport size;
    RuleReport order;
};

} // namespace

QStringList checkMeshProperties(const QVector<int> &header, const QVector<float> &coords,
                                const QVector<int> &corners, const QVector<int> &fans)
{
    // Accepted tables: both counts fit in an int.
    const int vertices = int(headerVertexCount(header));
    const int triangles = int(headerTriangleCount(header));
    QStringList out;
    checkOrientation(coords, corners, triangles, out);
    checkOutlines(corners, triangles, out);
    FanCheck fanCheck(corners, fans, vertices, triangles, out);
    for (int v = 0; v < vertices; ++v)
        fanCheck.check(v);
    return out;
}

LevelShare levelShare(const QVector<int> &levels, int vertexCount)
{
    LevelShare share;
    share.vertices = std::min(vertexCount, levels.size());
    for (int v = 0; v < share.vertices; ++v) {
        const int level = levels[v];
        if (level >= 0 && level < share.perLevel.size())
            ++share.perLevel[level];
        else
            ++share.outside;
    }
    return share;
}

QStringList worldSummary(const QVector<int> &header, const QVector<int> &levels)
{
    const int vertices = int(headerVertexCount(header));
    const qint64 triangles = headerTriangleCount(header);
    const LevelShare share = levelShare(levels, vertices);
    auto percent = [&share](int count) {
        return QString::number(100.0 * count / std::max(share.vertices, 1), 'f', 1) + '%';
    };
    QStringList lines;
    lines << QStringLiteral("subdivision %1, %2 vertices, %3 triangles")
                 .arg(header[0])
                 .arg(vertices)
                 .arg(triangles);
    lines << QStringLiteral("sea (level 0) %1, land (levels 1 to 9) %2")
                 .arg(percent(share.perLevel[0]))
                 .arg(percent(share.vertices - share.perLevel[0] - share.outside));
    for (int level = 0; level < share.perLevel.size(); ++level)
        lines << QStringLiteral("level %1: %2 vertices, %3")
                     .arg(level)
                     .arg(share.perLevel[level])
                     .arg(percent(share.perLevel[level]));
    if (share.outside > 0)
        lines << QStringLiteral("level outside 0 to 9: %1 vertices, %2")
                     .arg(share.outside)
                     .arg(percent(share.outside));
    return lines;
}

Status checkWorld(const World &world)
{
    const QStringList problems =
        checkMeshProperties(world.header, world.coords, world.corners, world.fans);
    return problems.isEmpty() ? Status() : Status::refused(problems);
}
