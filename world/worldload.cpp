#include "world/worldload.h"

#include "world/atomicwrite.h"
#include "world/filenames.h"
#include "world/meshrules.h"
#include "world/regularfile.h"
#include "world/rulereport.h"
#include "world/tablefile.h"
#include "world/worldtables.h"

#include <QDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <utility>

const char *const headerFileName = "base001.dat";
const char *const levelsFileName = "base002.dat";
const char *const coordsFileName = "base003.dat";
const char *const cornersFileName = "base004.dat";
const char *const fansFileName = "base005.dat";
const char *const demoFileName = "demo.txt";

// clang-format off
const DemoLevel demoLevels[113] = {
    {0, 4},   {1, 3},   {2, 4},   {3, 7},   {4, 4},   {5, 3},   {6, 3},   {7, 3},   {8, 3},   {9, 3},
    {10, 4},  {11, 4},  {12, 4},  {13, 3},  {14, 3},  {15, 4},  {16, 2},  {17, 3},  {18, 3},  {19, 2},
    {20, 3},  {21, 3},  {22, 3},  {23, 3},  {24, 4},  {25, 5},  {26, 3},  {27, 2},  {28, 2},  {29, 3},
    {30, 3},  {31, 2},  {32, 2},  {33, 2},  {34, 2},  {35, 1},  {36, 2},  {37, 3},  {38, 2},  {39, 2},
    {40, 2},  {41, 2},  {42, 3},  {43, 3},  {44, 3},  {45, 2},  {46, 1},  {47, 1},  {48, 2},  {49, 2},
    {50, 2},  {51, 1},  {52, 1},  {53, 2},  {54, 1},  {55, 1},  {56, 1},  {57, 1},  {58, 2},  {59, 2},
    {60, 1},  {61, 1},  {62, 1},  {63, 1},  {64, 2},  {65, 2},  {66, 2},  {67, 2},  {68, 2},  {69, 1},
    {70, 1},  {71, 1},  {72, 1},  {73, 1},  {74, 1},  {75, 2},  {76, 0},  {77, 1},  {78, 1},  {79, 1},
    {80, 1},  {81, 0},  {82, 1},  {83, 0},  {84, 1},  {85, 1},  {86, 1},  {87, 0},  {88, 1},  {89, 1},
    {90, 0},  {91, 1},  {92, 1},  {93, 2},  {94, 1},  {95, 1},  {96, 1},  {97, 1},  {98, 0},  {99, 1},
    {100, 0}, {101, 1}, {102, 1}, {103, 0}, {104, 1}, {105, 1}, {106, 1},
    {109, 1}, {117, 1}, {125, 1}, {126, 1}, {127, 1}, {142, 1},
};
// clang-format on

namespace {

// A flag is one integer; the rest of a longer file is never looked at.
const qint64 demoFileLimit = 4096;

struct Counts
{
    qint64 vertices = 0;
    qint64 triangles = 0;
};

bool checkCounts(const QVector<int> &header, Counts &counts, QStringList &out)
{
    if (header.size() < 11) {
        out << QStringLiteral("%1: header holds %2 entries, but needs at least 11")
                   .arg(headerFileName)
                   .arg(header.size());
        return false;
    }
    counts.vertices = headerVertexCount(header);
    counts.triangles = headerTriangleCount(header);
    const int sizeBefore = out.size();
    if (counts.vertices < 1 || counts.vertices > maxWorldVertices)
        out << QStringLiteral("%1: vertex count (entry 10) is %2, but must be from 1 to %3")
                   .arg(headerFileName)
                   .arg(counts.vertices)
                   .arg(maxWorldVertices);
    if (header[3] < 0 || header[4] < 0 || counts.triangles > maxWorldTriangles)
        out << QStringLiteral("%1: triangle count (entry 4 + 2 x entry 3 = %2 + 2 x %3) must be "
                              "from 0 to %4, with neither entry negative")
                   .arg(headerFileName)
                   .arg(header[4])
                   .arg(header[3])
                   .arg(maxWorldTriangles);
    return out.size() == sizeBefore;
}

bool checkLength(const char *file, qint64 size, qint64 items, int perItem, const char *what,
                 const char *itemName, QStringList &out)
{
    if (size >= items * perItem)
        return true;
    out << QStringLiteral("%1: holds %2 %3, but the world's %4 %5 need %6")
               .arg(file)
               .arg(size)
               .arg(what)
               .arg(items)
               .arg(itemName)
               .arg(items * perItem);
    return false;
}

// The reports are out of line and the scans read plain pointers, so that the
// loops over millions of entries keep their state in registers.
Q_DECL_COLD_FUNCTION void reportCorner(RuleReport &report, qint64 t, int k, int v, qint64 vertices)
{
    if (report.countedOnly())
        return;
    report.add(QStringLiteral("triangle %1 corner %2 is vertex %3, but the world has %4 vertices")
                   .arg(t)
                   .arg(QChar('A' + k))
                   .arg(v)
                   .arg(vertices));
}

Q_DECL_COLD_FUNCTION void reportFanRange(RuleReport &report, qint64 v, int k, int t,
                                         qint64 triangles)
{
    if (report.countedOnly())
        return;
    report.add(QStringLiteral("vertex %1 fan entry %2 is triangle %3, but the world has %4 "
                              "triangles")
                   .arg(v)
                   .arg(k)
                   .arg(t)
                   .arg(triangles));
}

Q_DECL_COLD_FUNCTION void reportFanMember(RuleReport &report, qint64 v, int k, int t)
{
    if (report.countedOnly())
        return;
    report.add(QStringLiteral("vertex %1 fan entry %2 is triangle %3, which does not have "
                              "vertex %1 as a corner")
                   .arg(v)
                   .arg(k)
                   .arg(t));
}

// One unsigned comparison tells both "negative" and "too large": the counts
// are at most maxRows, well inside 32 bits.
bool outside(int value, qint64 count)
{
    return quint32(value) >= quint32(count);
}

Q_DECL_COLD_FUNCTION void reportAngle(RuleReport &report, qint64 v, int k, float angle)
{
    if (report.countedOnly())
        return;
    report.add(QStringLiteral("vertex %1 %2 angle is %3, but must be a finite number")
                   .arg(v)
                   .arg(k == 0 ? QStringLiteral("polar") : QStringLiteral("azimuth"))
                   .arg(double(angle)));
}

// A NaN or infinite angle puts the vertex nowhere: every position, normal
// and bound built from it is NaN.
void checkAngles(const QVector<float> &coords, const Counts &counts, QStringList &out)
{
    RuleReport report(out, coordsFileName, "angles that are not finite");
    const float *angle = coords.constData();
    for (qint64 v = 0; v < counts.vertices; ++v, angle += 2) {
        for (int k = 0; k < 2; ++k) {
            if (Q_UNLIKELY(!std::isfinite(angle[k])))
                reportAngle(report, v, k, angle[k]);
        }
    }
}

void checkCorners(const QVector<int> &corners, const Counts &counts, QStringList &out)
{
    RuleReport report(out, cornersFileName, "corners out of range");
    const int *row = corners.constData();
    for (qint64 t = 0; t < counts.triangles; ++t, row += 4) {
        for (int k = 0; k < 3; ++k) {
            if (Q_UNLIKELY(outside(row[k], counts.vertices)))
                reportCorner(report, t, k, row[k], counts.vertices);
        }
    }
}

void checkFans(const QVector<int> &fans, const QVector<int> &corners, const Counts &counts,
               QStringList &out)
{
    RuleReport range(out, fansFileName, "fan entries out of range");
    RuleReport member(out, fansFileName, "fan entries naming a triangle without their vertex");
    const int *rows = corners.constData();
    const int *fan = fans.constData();
    for (qint64 v = 0; v < counts.vertices; ++v, fan += 6) {
        for (int k = 0; k < 6; ++k) {
            const int t = fan[k];
            if (Q_UNLIKELY(outside(t, counts.triangles)))
                reportFanRange(range, v, k, t, counts.triangles);
            else if (Q_UNLIKELY(cornerIndex(rows + 4 * qint64(t), int(v)) < 0))
                reportFanMember(member, v, k, t);
        }
    }
}

bool wantsDemo(DemoTerrain demo, int flag)
{
    return demo == DemoTerrain::On || (demo == DemoTerrain::AsFlagged && flag != 0);
}

// Returns whether the file was missing, so that a folder without any world
// file gets one line rather than five.
template <typename T>
bool readInto(const QDir &dir, const char *name, QVector<T> &table, qint64 maxCount,
              QStringList &problems,
              TableRead (*reader)(const QString &, QVector<T> &, NameLink, qint64, const QString &))
{
    const QString file = QString::fromLatin1(name);
    const TableRead read = reader(dir.filePath(file), table, NameLink::Refused, maxCount, file);
    if (!read.ok())
        problems << read.status.message();
    return read.missing;
}

// What the header lets each table hold. A header that is itself broken is
// refused whatever the rest holds: the other tables are then only opened,
// so that a missing or unreadable one is still reported.
Counts expectedCounts(const QVector<int> &header)
{
    Counts counts;
    QStringList ignored;
    Counts stated;
    if (checkCounts(header, stated, ignored))
        counts = stated;
    return counts;
}

// The demo terrain reaches vertex 142, so a world's levels may run that far
// whatever its size.
const qint64 demoVertices = 143;

Status loadTables(const QString &path, DemoTerrain demo, World &loaded)
{
    const QDir dir(path);
    QStringList problems;
    int missing =
        readInto(dir, headerFileName, loaded.header, maxHeaderEntries, problems, readIntTable);
    const Counts counts = expectedCounts(loaded.header);
    missing += readInto(dir, levelsFileName, loaded.levels, std::max(counts.vertices, demoVertices),
                        problems, readIntTable);
    loaded.demoFlag = readDemoFlag(dir.filePath(QString::fromLatin1(demoFileName)));
    if (wantsDemo(demo, loaded.demoFlag))
        applyDemoLevels(loaded.levels);
    missing +=
        readInto(dir, coordsFileName, loaded.coords, 2 * counts.vertices, problems, readFloatTable);
    missing += readInto(dir, cornersFileName, loaded.corners, 4 * counts.triangles, problems,
                        readIntTable);
    missing +=
        readInto(dir, fansFileName, loaded.fans, 6 * counts.vertices, problems, readIntTable);
    if (missing == 5)
        return Status::refused(noWorldLine(path));
    // A table that could not be read would only fail the checks again, in
    // words that contradict the line already given ("holds 0 entries").
    if (problems.isEmpty())
        problems = checkWorldTables(loaded.header, loaded.levels, loaded.coords, loaded.corners,
                                    loaded.fans);
    return problems.isEmpty() ? Status() : Status::refused(problems);
}

} // namespace

qint64 headerVertexCount(const QVector<int> &header)
{
    return header[10];
}

qint64 headerTriangleCount(const QVector<int> &header)
{
    return qint64(header[4]) + 2 * qint64(header[3]);
}

QStringList checkWorldTables(const QVector<int> &header, const QVector<int> &levels,
                             const QVector<float> &coords, const QVector<int> &corners,
                             const QVector<int> &fans)
{
    QStringList out;
    Counts counts;
    if (!checkCounts(header, counts, out))
        return out;
    checkLength(levelsFileName, levels.size(), counts.vertices, 1, "levels", "vertices", out);
    if (checkLength(coordsFileName, coords.size(), counts.vertices, 2, "angles", "vertices", out))
        checkAngles(coords, counts, out);
    const bool cornersFit = checkLength(cornersFileName, corners.size(), counts.triangles, 4,
                                        "integers", "triangles", out);
    const bool fansFit =
        checkLength(fansFileName, fans.size(), counts.vertices, 6, "entries", "vertices", out);
    if (cornersFit)
        checkCorners(corners, counts, out);
    if (cornersFit && fansFit)
        checkFans(fans, corners, counts, out);
    return out;
}

int readDemoFlag(const QString &path)
{
    QByteArray text;
    if (!readRegularFile(path, NameLink::Refused, demoFileLimit, &text).ok())
        return 0;
    QTextStream stream(text);
    int flag = 0;
    stream >> flag;
    return stream.status() == QTextStream::Ok ? flag : 0;
}

void applyDemoLevels(QVector<int> &levels)
{
    for (const DemoLevel &pair : demoLevels) {
        if (pair.vertex < levels.size())
            levels[pair.vertex] = pair.level;
    }
}

Status loadWorld(const QString &path, DemoTerrain demo, World *world)
{
    Status status = finishInterruptedWrites(path);
    if (!status.ok())
        return status;
    World loaded;
    try {
        status = loadTables(path, demo, loaded);
    } catch (const std::bad_alloc &) {
        status = Status::outOfMemory(path);
    }
    if (!status.ok())
        return status;
    loaded.vertexCount = int(headerVertexCount(loaded.header));
    loaded.triangleCount = int(headerTriangleCount(loaded.header));
    *world = std::move(loaded);
    return Status();
}

QString noWorldLine(const QString &dir)
{
    // The working directory by its name: "." would tell the user nothing.
    const QString shown = shownName(dir == QLatin1String(".") ? QDir::currentPath() : dir);
    return QStringLiteral("no world in %1: make one with `globe-world generate %1`").arg(shown);
}

Status loadWorld()
{
    World world;
    const Status status = loadWorld(QStringLiteral("."), DemoTerrain::AsFlagged, &world);
    setWorldTables(world);
    return status;
}
