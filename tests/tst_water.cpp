// The drainage (water/) on worlds whose answer is known, and the rivers
// command's files as GDAL's own ogrinfo reads them.
#include "generator/worldgen.h"
#include "maps/riverfiles.h"
#include "water/cells.h"
#include "water/drainage.h"
#include "water/rivers.h"
#include "world/worldwrite.h"
#include "worldfiles.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <ogr_api.h>
#include <ogr_geometry.h>

#include <cmath>
#include <functional>
#include <memory>

namespace {

// A flat world of subdivision 5 whose levels a rule of each vertex's unit
// direction gives.
World shapedWorld(const std::function<int(const Vec3 &)> &levelAt)
{
    WorldRecipe recipe;
    recipe.subdivision = 5;
    recipe.terrain = WorldRecipe::Flat;
    World world = generateWorld(recipe);
    for (int v = 0; v < world.vertexCount; ++v)
        world.levels[v] = levelAt(unitDirection(world.coords[2 * v], world.coords[2 * v + 1]));
    return world;
}

double degreesBetween(const Vec3 &a, const Vec3 &b)
{
    return angleBetween(a, b) * 180 / pi;
}

const Vec3 centre = normalised({0.3, 0.8, 0.5});

int runRivers(const QStringList &arguments, QString *output)
{
    return runProgram(GLOBE_WORLD_EXE, QStringList{QStringLiteral("rivers")} + arguments, output);
}

} // namespace

class TestWater : public QObject
{
    Q_OBJECT

private slots:
    void coneIslandDrainsRadiallyToTheSea();
    void bowlFillsToItsNotchAndSpillsThroughIt();
    void slopingPlateauDrainsDownItsSlope();
    void flowIsConservedFromLandToOutlets();
    void tracedRegionsEqualTheUnionOfCells();
    void geoPackageReadsBackValidAndTheSame();
    void badInputIsRefusedInOneLineWritingNothing_data();
    void badInputIsRefusedInOneLineWritingNothing();
};

// Levels falling one per 3 degrees from a peak: water runs away from the
// peak on every vertex and none stays on the island.
void TestWater::coneIslandDrainsRadiallyToTheSea()
{
    const World world = shapedWorld(
        [](const Vec3 &u) { return std::max(0, 9 - int(degreesBetween(u, centre) / 3)); });
    const Drainage d = computeDrainage(world);
    QVERIFY(d.lakes.empty());
    int land = 0;
    for (int v = 0; v < d.vertexCount; ++v) {
        if (d.isSea(v))
            continue;
        ++land;
        const int r = d.receiver[v];
        QVERIFY2(r >= 0 && d.basinOf[v] >= 0, qPrintable(QString::number(v)));
        QVERIFY(d.level[r] <= d.level[v]);
        if (degreesBetween(d.units[v], centre) > 1)
            QVERIFY(degreesBetween(d.units[r], centre) > degreesBetween(d.units[v], centre));
    }
    QVERIFY(land > 100);
}

// A bowl of level 2 inside a rim of level 5 with a notch of level 3: a lake at
// level 3 over the bowl, draining out through the notch, the river starting
// at the lake.
void TestWater::bowlFillsToItsNotchAndSpillsThroughIt()
{
    const Vec3 notch = normalised(centre + Vec3{0.25, 0, 0});
    const World world = shapedWorld([&](const Vec3 &u) {
        const double r = degreesBetween(u, centre);
        if (r < 12)
            return 2;
        if (r < 18)
            return degreesBetween(u, notch) < 15 && dot(u - centre, notch - centre) > 0 ? 3 : 5;
        return r < 30 ? 1 : 0;
    });
    const Drainage d = computeDrainage(world);
    QCOMPARE(int(d.lakes.size()), 1);
    const Lake &lake = d.lakes[0];
    QCOMPARE(lake.level, 3);
    QVERIFY(lake.outlet >= 0);
    QCOMPARE(d.level[lake.outlet], 3);
    QVERIFY(d.basinOf[lake.vertices[0]] >= 0);
    for (int v : lake.vertices)
        QVERIFY(degreesBetween(d.units[v], centre) < 12);
    // Every edge from the lake into a river is drawn: no gap on the map.
    const std::vector<RiverSegment> rivers = riverSegments(d, 3 * d.cellKm2[0]);
    const std::vector<char> onRiver = riverVertices(d, rivers);
    int leaving = 0;
    for (int v : lake.vertices) {
        if (d.receiver[v] < 0 || !onRiver[d.receiver[v]])
            continue;
        ++leaving;
        bool drawn = false;
        for (const RiverSegment &segment : rivers)
            drawn = drawn || (segment.vertices[0] == v && segment.vertices[1] == d.receiver[v]);
        QVERIFY2(drawn, qPrintable(QString::number(v)));
    }
    QVERIFY(leaving > 0);
}

// A plateau falling from level 9 in the west to level 1 in the east: its main
// river runs eastwards all the way and reaches the sea at the east end.
void TestWater::slopingPlateauDrainsDownItsSlope()
{
    const World world = shapedWorld([](const Vec3 &u) {
        const LonLat p = lonLatOf(u);
        if (std::fabs(p.lat) > 20 || std::fabs(p.lon) > 60)
            return 0;
        return 9 - int((p.lon + 60) / 120 * 9);
    });
    const Drainage d = computeDrainage(world);
    int outlet = -1;
    for (const Basin &basin : d.basins) {
        if (outlet < 0 || basin.areaKm2 > d.flowKm2[outlet])
            outlet = basin.outlet;
    }
    QVERIFY(lonLatOf(d.units[outlet]).lon > 50);
    // Upstream along the largest donor: always westwards, across the plateau.
    std::vector<int> biggest(d.vertexCount, -1);
    for (int v : d.order) {
        const int r = d.receiver[v];
        if (r >= 0 && (biggest[r] < 0 || d.flowKm2[v] > d.flowKm2[biggest[r]]))
            biggest[r] = v;
    }
    int v = outlet;
    for (; biggest[v] >= 0; v = biggest[v])
        QVERIFY(lonLatOf(d.units[biggest[v]]).lon < lonLatOf(d.units[v]).lon + 1e-9);
    QVERIFY(lonLatOf(d.units[v]).lon < -30);
}

// The cells' rings as GEOS merges them, the way lakes and basins were made.
std::unique_ptr<OGRGeometry> unionOfCells(const Drainage &d, const std::vector<int> &vertices)
{
    OGRMultiPolygon cells;
    for (int v : vertices) {
        for (const Ring &ring : cellRings(d, v)) {
            auto *polygon = new OGRPolygon;
            auto *linear = new OGRLinearRing;
            for (const LonLat &p : ring)
                linear->addPoint(p.lon, p.lat);
            linear->closeRings();
            polygon->addRingDirectly(linear);
            cells.addGeometryDirectly(polygon);
        }
    }
    return std::unique_ptr<OGRGeometry>(cells.UnionCascaded());
}

OGRMultiPolygon tracedCells(const Drainage &d, const std::vector<int> &vertices)
{
    OGRMultiPolygon traced;
    for (const CellPolygon &region : cellRegion(d, vertices)) {
        auto *polygon = new OGRPolygon;
        for (const Ring *ring = &region.shell; ring;) {
            auto *linear = new OGRLinearRing;
            for (const LonLat &p : *ring)
                linear->addPoint(p.lon, p.lat);
            linear->closeRings();
            polygon->addRingDirectly(linear);
            const size_t next = ring == &region.shell ? 0 : size_t(ring - region.holes.data()) + 1;
            ring = next < region.holes.size() ? &region.holes[next] : nullptr;
        }
        traced.addGeometryDirectly(polygon);
    }
    return traced;
}

// Lakes and basins were merged by GEOS's union of their cells, most of the
// rivers command's time; traced from the cells' edges instead, each is
// valid and the same area, holes and the antimeridian's cut included: on a
// random world, a world that is one lake, and a lake with an island.
void TestWater::tracedRegionsEqualTheUnionOfCells()
{
    WorldRecipe recipe;
    recipe.subdivision = 4;
    recipe.seed = 3;
    std::vector<World> worlds{generateWorld(recipe), shapedWorld([](const Vec3 &) { return 2; }),
                              shapedWorld([](const Vec3 &u) {
                                  const double r = degreesBetween(u, centre);
                                  return r < 4 ? 6 : r < 12 ? 1 : r < 18 ? 4 : r < 30 ? 2 : 0;
                              })};
    int regions = 0, holes = 0;
    for (const World &world : worlds) {
        const Drainage d = computeDrainage(world);
        std::vector<std::vector<int>> sets;
        for (const Lake &lake : d.lakes)
            sets.push_back(lake.vertices);
        std::vector<std::vector<int>> basins(d.basins.size());
        for (int v = 0; v < d.vertexCount; ++v) {
            if (d.basinOf[v] >= 0)
                basins[size_t(d.basinOf[v])].push_back(v);
        }
        sets.insert(sets.end(), basins.begin(), basins.end());
        for (const std::vector<int> &vertices : sets) {
            const OGRMultiPolygon traced = tracedCells(d, vertices);
            const std::unique_ptr<OGRGeometry> merged = unionOfCells(d, vertices);
            QVERIFY(merged);
            QVERIFY2(traced.IsValid(), qPrintable(QString::number(vertices[0])));
            // The same area: GEOS's symmetric difference is empty, or a sliver
            // of no area that its own overlay leaves where rounding moved a
            // corner along an edge (strict equality fails on those).
            const std::unique_ptr<OGRGeometry> apart(traced.SymDifference(merged.get()));
            QVERIFY(apart);
            const double area = traced.get_Area();
            QVERIFY2(area > 0 && (apart->IsEmpty() ||
                                  OGR_G_Area(OGRGeometry::ToHandle(apart.get())) < 1e-9 * area),
                     qPrintable(QString::number(vertices[0])));
            for (const OGRPolygon *polygon : traced)
                holes += polygon->getNumInteriorRings();
            ++regions;
        }
    }
    QVERIFY(regions > 20);
    QVERIFY(holes > 0);
}

// What reaches the sea and the sinks is the land's area, and land and sea
// together are the sphere's, on random worlds and on one without sea.
void TestWater::flowIsConservedFromLandToOutlets()
{
    for (quint32 seed : {1u, 7u}) {
        WorldRecipe recipe;
        recipe.subdivision = 5;
        recipe.seed = seed;
        World world = generateWorld(recipe);
        if (seed == 7)
            for (int &level : world.levels)
                level = level == 0 ? 3 : level;
        const Drainage d = computeDrainage(world);
        double outlets = 0, sphere = 0;
        for (int v = 0; v < d.vertexCount; ++v) {
            sphere += d.cellKm2[v];
            const int r = d.receiver[v];
            if (!d.isSea(v) && (r < 0 || d.isSea(r)))
                outlets += d.flowKm2[v];
        }
        QCOMPARE(int(d.order.size()),
                 d.vertexCount - int(std::count(d.level.begin(), d.level.end(), 0)));
        QVERIFY(std::fabs(outlets - d.landKm2) < 1e-6 * d.landKm2);
        QVERIFY(std::fabs(sphere - 4 * pi * earthRadiusKm * earthRadiusKm) < 1e-6 * sphere);
        QCOMPARE(d.basins.empty(), seed == 7);
    }
}

// ogrinfo reads the three layers with their fields; every polygon is valid,
// and the one lake of a world without sea covers the whole map, the seam and
// the poles included. Two writes give the same bytes.
void TestWater::geoPackageReadsBackValidAndTheSame()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ogrinfo")).isEmpty())
        QSKIP("ogrinfo is missing (gdal-bin)");
    QTemporaryDir dir;
    World world;
    for (bool withSea : {true, false}) {
        WorldRecipe recipe;
        recipe.subdivision = 4;
        world = generateWorld(recipe);
        if (!withSea)
            world.levels.fill(4);
        RiverOptions options;
        options.outs = QStringList{dir.filePath(QStringLiteral("w.gpkg")),
                                   dir.filePath(QStringLiteral("w2.gpkg"))};
        RiverReport report;
        QVERIFY(writeRiverFiles(world, options, &report).ok());
        QCOMPARE(readBytes(options.outs[0]), readBytes(options.outs[1]));
        QString output;
        QCOMPARE(
            runProgram(QStringLiteral("ogrinfo"),
                       {QStringLiteral("-ro"), QStringLiteral("-q"), QStringLiteral("-dialect"),
                        QStringLiteral("sqlite"), QStringLiteral("-sql"),
                        QStringLiteral("select (select count(*) from rivers) as rivers, "
                                       "(select count(*) from basins where not "
                                       "st_isvalid(geom)) as badbasins, "
                                       "(select count(*) from lakes where not "
                                       "st_isvalid(geom)) as badlakes, "
                                       "(select sum(st_area(geom)) from lakes) as lakearea, "
                                       "(select max(strahler) + max(basin) from rivers "
                                       "where ends = 'sea') as fields"),
                        options.outs[0]},
                       &output),
            0);
        QVERIFY2(output.contains(QLatin1String("badbasins (Integer) = 0\n")) &&
                     output.contains(QLatin1String("badlakes (Integer) = 0\n")) &&
                     output.contains(QStringLiteral("rivers (Integer) = %1\n").arg(report.rivers)),
                 qPrintable(output));
        if (withSea) {
            QVERIFY(report.basins > 0 && report.rivers > 0);
            QVERIFY2(!output.contains(QLatin1String("fields (Integer) = (null)")),
                     qPrintable(output));
        } else {
            QCOMPARE(report.rivers, 0);
            QCOMPARE(report.lakes, 1);
            QVERIFY2(output.contains(QLatin1String("(Real) = 64800")), qPrintable(output));
        }
    }
}

void TestWater::badInputIsRefusedInOneLineWritingNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("broken world") << QStringList{QStringLiteral("broken"), QStringLiteral("--out"),
                                                 QStringLiteral("out.gpkg")}
                                  << "base00";
    QTest::newRow("unknown extension")
        << QStringList{QStringLiteral("world"), QStringLiteral("--out"), QStringLiteral("out.gpkg"),
                       QStringLiteral("--out"), QStringLiteral("out.shp")}
        << "must end in .gpkg";
    QTest::newRow("min-area NaN") << QStringList{QStringLiteral("world"), QStringLiteral("--out"),
                                                 QStringLiteral("out.gpkg"),
                                                 QStringLiteral("--min-area"),
                                                 QStringLiteral("nan")}
                                  << "--min-area";
    QTest::newRow("min-area negative")
        << QStringList{QStringLiteral("world"), QStringLiteral("--out"), QStringLiteral("out.gpkg"),
                       QStringLiteral("--min-area"), QStringLiteral("-5")}
        << "--min-area";
    QTest::newRow("missing folder")
        << QStringList{QStringLiteral("world"), QStringLiteral("--out"), QStringLiteral("out.gpkg"),
                       QStringLiteral("--out"), QStringLiteral("nowhere/out.geojson")}
        << "no folder";
}

void TestWater::badInputIsRefusedInOneLineWritingNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QTemporaryDir dir;
    writeSoundAndBrokenWorlds(dir.path());
    QDir::setCurrent(dir.path());
    QString output;
    QVERIFY(runRivers(arguments, &output) != 0);
    QVERIFY2(output.contains(message), qPrintable(output));
    if (!arguments.contains(QLatin1String("broken")))
        QCOMPARE(output.count(QLatin1Char('\n')), 1);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("out.gpkg"))));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);
}

QTEST_GUILESS_MAIN(TestWater)
#include "tst_water.moc"
