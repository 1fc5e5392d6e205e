// The climate (climate/) on worlds whose answer is known, one spot check on
// the real Earth, and the climate command's files as GDAL's tools read them.
#include "climate/climatemodel.h"
#include "generator/worldgen.h"
#include "maps/climatefiles.h"
#include "sphere/sphere.h"
#include "sphere/spheregraph.h"
#include "worldfiles.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <functional>

namespace {

// A world of subdivision 6 whose levels a rule of longitude and latitude
// (degrees) gives, its graph and its climate with levels at the default
// heights of import --peak 6000 (level 6: 3667 m).
struct ShapedClimate
{
    World world;
    SphereGraph graph;
    Climate climate;

    // The vertex nearest (lon, lat).
    int at(double lon, double lat) const
    {
        const Vec3 u = unitOfLonLat(lon, lat);
        int best = 0;
        for (int v = 1; v < graph.vertexCount; ++v) {
            if (dot(graph.units[v], u) > dot(graph.units[best], u))
                best = v;
        }
        return best;
    }
    float range(int v) const { return climate.warmestMonth(v) - climate.coldestMonth(v); }
};

ShapedClimate shapedClimate(const std::function<int(double lon, double lat)> &levelAt)
{
    ShapedClimate c;
    WorldRecipe recipe;
    recipe.subdivision = 6;
    recipe.terrain = WorldRecipe::Flat;
    c.world = generateWorld(recipe);
    c.graph = sphereGraph(c.world);
    for (int v = 0; v < c.world.vertexCount; ++v) {
        const LonLat ll = lonLatOf(c.graph.units[v]);
        c.world.levels[v] = levelAt(ll.lon, ll.lat);
    }
    c.climate = computeClimate(c.graph, c.world.levels, heightsFromPeak(6000).metres.data());
    return c;
}

int runClimate(const QStringList &arguments, QString *output)
{
    return runProgram(GLOBE_WORLD_EXE, QStringList{QStringLiteral("climate")} + arguments, output);
}

} // namespace

class TestClimate : public QObject
{
    Q_OBJECT

private slots:
    void knownAnswersOfRangesPlateausSeasonsAndInteriors();
    void earthPlacesFallInTheirMainGroups();
    void filesReadBackThroughGdal();
    void badInputIsRefusedInOneLineWritingNothing_data();
    void badInputIsRefusedInOneLineWritingNothing();
};

// A meridional range on an ocean world, 3 degrees either side of 0 E
// between 60 S and 60 N (level 6 along its crest, 3 on its flanks), is
// wetter on its windward flank: west in the westerlies, east in the trades.
// A continent from 30 W to 30 E between 70 S and 70 N at level 1, with a
// plateau at level 6 east of 15 E between 30 and 40 N:
// - the plateau is colder than the lowland beside it by the lapse rate;
// - the seasons are opposite in the two hemispheres;
// - the interior swings more over the year than the west coast.
void TestClimate::knownAnswersOfRangesPlateausSeasonsAndInteriors()
{
    const ShapedClimate range = shapedClimate([](double lon, double lat) {
        if (std::fabs(lon) > 3 || std::fabs(lat) > 60)
            return 0;
        return std::fabs(lon) < 1.5 ? 6 : 3;
    });
    const auto wetter = [&](double lon, double lat) {
        const float windward = range.climate.annualTotal(range.at(lon, lat)),
                    lee = range.climate.annualTotal(range.at(-lon, lat));
        QVERIFY2(windward > 1.5 * lee,
                 qPrintable(
                     QStringLiteral("at %1: %2 windward, %3 lee").arg(lat).arg(windward).arg(lee)));
    };
    for (double lat : {45.0, -45.0})
        wetter(-2.3, lat);
    for (double lat : {15.0, -15.0})
        wetter(2.3, lat);

    const ShapedClimate c = shapedClimate([](double lon, double lat) {
        if (std::fabs(lon) > 30 || std::fabs(lat) > 70)
            return 0;
        return lon > 15 && lat > 30 && lat < 40 ? 6 : 1;
    });
    const Climate &k = c.climate;
    const int low = c.at(11, 35), high = c.at(19, 35);
    const double drop = k.annualMean(low) - k.annualMean(high);
    const double lapse = 0.0065 * (k.heightM[high] - k.heightM[low]);
    QVERIFY2(std::fabs(drop - lapse) < 0.15 * lapse,
             qPrintable(QStringLiteral("%1 against %2").arg(drop).arg(lapse)));

    const float *north = k.temperatureOf(c.at(-15, 45)), *south = k.temperatureOf(c.at(-15, -45));
    QVERIFY(north[6] > north[0] + 5 && south[0] > south[6] + 5);

    QVERIFY2(c.range(c.at(20, 55)) > 1.5 * c.range(c.at(-28, 55)),
             qPrintable(QStringLiteral("%1 inland, %2 on the west coast")
                            .arg(c.range(c.at(20, 55)))
                            .arg(c.range(c.at(-28, 55)))));
}

// ETOPO5 (Debian's ferret-datasets) imported as the Earth; places on five
// continents whose main group every Köppen map agrees on.
void TestClimate::earthPlacesFallInTheirMainGroups()
{
    const QString etopo = QStringLiteral("/usr/share/ferret-vis/data/etopo5.cdf");
    if (!QFile::exists(etopo))
        QSKIP("etopo5.cdf is missing (ferret-datasets)");
    QTemporaryDir dir;
    WorldRecipe recipe;
    recipe.subdivision = 6;
    recipe.terrain = WorldRecipe::Flat;
    const QString folder = dir.filePath(QStringLiteral("earth"));
    writeTestWorld(folder, recipe);
    LevelScale scale;
    scale.hasSeaLevel = scale.hasPeak = true;
    scale.peak = 6000;
    QVERIFY(importRaster(folder, etopo, scale).ok());
    const World world = loadTestWorld(folder);
    const SphereGraph graph = sphereGraph(world);
    const Climate climate =
        computeClimate(graph, world.levels, heightsFromPeak(6000).metres.data());
    const struct
    {
        const char *name;
        double lon, lat;
        char group;
    } places[] = {{"Manaus", -60, -3.1, 'A'},           {"Riyadh", 46.7, 24.7, 'B'},
                  {"Alice Springs", 133.9, -23.7, 'B'}, {"Paris", 2.35, 48.85, 'C'},
                  {"Moscow", 37.6, 55.75, 'D'},         {"Greenland", -40, 72, 'E'}};
    for (const auto &place : places) {
        const Vec3 u = unitOfLonLat(place.lon, place.lat);
        int best = 0;
        for (int v = 1; v < graph.vertexCount; ++v) {
            if (dot(graph.units[v], u) > dot(graph.units[best], u))
                best = v;
        }
        QVERIFY2(koppenGroup(climate.koppen[best]) == place.group,
                 qPrintable(QStringLiteral("%1: %2").arg(
                     QLatin1String(place.name), QLatin1String(koppenName(climate.koppen[best])))));
    }
}

// gdallocationinfo finds each vertex's class where the vertex is; the
// category names are in the .aux.xml; the zones are valid polygons whose
// areas add up to the land.
void TestClimate::filesReadBackThroughGdal()
{
    if (QStandardPaths::findExecutable(QStringLiteral("gdallocationinfo")).isEmpty())
        QSKIP("gdallocationinfo is missing (gdal-bin)");
    QTemporaryDir dir;
    WorldRecipe recipe;
    recipe.subdivision = 5;
    const QString folder = dir.filePath(QStringLiteral("world"));
    writeTestWorld(folder, recipe);
    const QString tif = dir.filePath(QStringLiteral("c.tif")),
                  gpkg = dir.filePath(QStringLiteral("c.gpkg"));
    QString output;
    QCOMPARE(runClimate({folder, QStringLiteral("--out"), tif, QStringLiteral("--out"), gpkg,
                         QStringLiteral("--width"), QStringLiteral("512"), QStringLiteral("--peak"),
                         QStringLiteral("6000")},
                        &output),
             0);
    QVERIFY(readBytes(tif + QStringLiteral(".aux.xml")).contains("<Category>BWh</Category>"));

    const World world = loadTestWorld(folder);
    const SphereGraph graph = sphereGraph(world);
    const Climate climate =
        computeClimate(graph, world.levels, heightsFromPeak(6000).metres.data());
    for (int v = 0; v < graph.vertexCount; v += 97) {
        const LonLat ll = lonLatOf(graph.units[v]);
        QCOMPARE(runProgram(QStringLiteral("gdallocationinfo"),
                            {QStringLiteral("-wgs84"), QStringLiteral("-valonly"),
                             QStringLiteral("-b"), QStringLiteral("1"), tif,
                             QString::number(ll.lon, 'g', 10), QString::number(ll.lat, 'g', 10)},
                            &output),
                 0);
        QCOMPARE(output.trimmed().toInt(), int(climate.koppen[v]));
    }

    double land = 0;
    for (int v = 0; v < graph.vertexCount; ++v)
        land += climate.sea[v] ? 0 : graph.cellArea[v] * earthRadiusKm * earthRadiusKm;
    GDALAllRegister();
    std::unique_ptr<GDALDataset> zones(
        GDALDataset::Open(gpkg.toUtf8().constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    QVERIFY(zones);
    double areas = 0;
    for (auto &feature : *zones->GetLayerByName("koppen")) {
        areas += feature->GetFieldAsDouble("area_km2");
        QVERIFY(feature->GetGeometryRef() && feature->GetGeometryRef()->IsValid());
    }
    QVERIFY(land > 0);
    QVERIFY2(std::fabs(areas - land) < 1e-6 * land, qPrintable(QString::number(areas - land)));
}

void TestClimate::badInputIsRefusedInOneLineWritingNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString world = QStringLiteral("world"), out = QStringLiteral("--out"),
                  tif = QStringLiteral("out.tif");
    QTest::newRow("broken world") << QStringList{QStringLiteral("broken"), out, tif} << "base00";
    QTest::newRow("unknown extension")
        << QStringList{world, out, tif, out, QStringLiteral("out.shp")} << "must end in .tif";
    QTest::newRow("eight heights") << QStringList{world, out, tif, QStringLiteral("--heights"),
                                                  QStringLiteral("1,2,3,4,5,6,7,8")}
                                   << "--heights";
    QTest::newRow("heights falling") << QStringList{world, out, tif, QStringLiteral("--heights"),
                                                    QStringLiteral("1,2,3,4,5,6,7,9,8")}
                                     << "--heights";
    QTest::newRow("peak NaN") << QStringList{world, out, tif, QStringLiteral("--peak"),
                                             QStringLiteral("nan")}
                              << "--peak";
    QTest::newRow("missing folder")
        << QStringList{world, out, tif, out, QStringLiteral("nowhere/out.csv")} << "no folder";
}

void TestClimate::badInputIsRefusedInOneLineWritingNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QTemporaryDir dir;
    writeSoundAndBrokenWorlds(dir.path());
    QDir::setCurrent(dir.path());
    QString output;
    QVERIFY(runClimate(arguments, &output) != 0);
    QVERIFY2(output.contains(message), qPrintable(output));
    if (!arguments.contains(QLatin1String("broken")))
        QCOMPARE(output.count(QLatin1Char('\n')), 1);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);
}

QTEST_GUILESS_MAIN(TestClimate)
#include "tst_climate.moc"
