// Erosion and the plates world: the contract erode keeps on any world, the
// known answer of a terraced plateau, the plates' determinism and boundary
// file as ogrinfo reads it, and the one-line refusals that change nothing.
#include "erosion/erosion.h"
#include "water/drainage.h"
#include "worldfiles.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>

class TestErosion : public WorldSuite
{
    Q_OBJECT

private slots:
    void erodeKeepsCoastAndTopAndDrainsToSea();
    void terracedPlateauBranches();
    void platesAreDeterministicAndTheirBoundariesReadBack();
    void badInputIsRefusedInOneLineChangingNothing();
};

int highestLevel(const QVector<int> &levels)
{
    return *std::max_element(levels.begin(), levels.end());
}

// A random world eroded on disk: every sea vertex still sea, every land
// vertex land, the top level still there, and no lake left.
void TestErosion::erodeKeepsCoastAndTopAndDrainsToSea()
{
    const QString folder = world(5);
    const World before = loadTestWorld(folder);
    QCOMPARE(run({QStringLiteral("erode"), folder}, &output), 0);
    QCOMPARE(readBytes(path(folder, "base002.dat.bak")).size(),
             readBytes(path(folder, "base002.dat")).size());
    const World after = loadTestWorld(folder);
    QVERIFY(after.levels != before.levels);
    for (int v = 0; v < before.vertexCount; ++v)
        QCOMPARE(after.levels[v] == 0, before.levels[v] == 0);
    QCOMPARE(highestLevel(after.levels), highestLevel(before.levels));
    const Drainage d = computeDrainage(after);
    QCOMPARE(int(d.lakes.size()), 0);
    for (int v = 0; v < d.vertexCount; ++v)
        QVERIFY(d.isSea(v) || d.basinOf[v] >= 0);
    QCOMPARE(run({QStringLiteral("check"), folder}, &output), 0);
}

// Terraces falling eastwards to a coast drain as combs of narrow basins side
// by side; eroded, their rivers gather into trees whose largest basin holds
// far more of the plateau.
void TestErosion::terracedPlateauBranches()
{
    WorldRecipe recipe;
    recipe.subdivision = 6;
    recipe.terrain = WorldRecipe::Flat;
    World world = generateWorld(recipe);
    for (int v = 0; v < world.vertexCount; ++v) {
        const LonLat p = lonLatOf(unitDirection(world.coords[2 * v], world.coords[2 * v + 1]));
        world.levels[v] = std::fabs(p.lat) > 30 || std::fabs(p.lon) > 50
                              ? 0
                              : 5 - std::min(4, int((p.lon + 50) / 100 * 5));
    }
    auto largestBasin = [](const World &w) {
        const Drainage d = computeDrainage(w);
        double largest = 0;
        for (const Basin &b : d.basins)
            largest = std::max(largest, b.areaKm2);
        return largest;
    };
    const double comb = largestBasin(world);
    world.levels = erodedLevels(world, world.levels, ErosionOptions());
    const double tree = largestBasin(world);
    QVERIFY2(tree > 1.3 * comb, qPrintable(QStringLiteral("%1 km², was %2").arg(tree).arg(comb)));
}

void TestErosion::platesAreDeterministicAndTheirBoundariesReadBack()
{
    const QString one = dir.filePath(QStringLiteral("plates1")),
                  two = dir.filePath(QStringLiteral("plates2")),
                  file = dir.filePath(QStringLiteral("plates.gpkg"));
    const QStringList recipe = {QStringLiteral("--terrain"),     QStringLiteral("plates"),
                                QStringLiteral("--subdivision"), QStringLiteral("5"),
                                QStringLiteral("--seed"),        QStringLiteral("7")};
    QCOMPARE(run(QStringList{QStringLiteral("generate"), one}
                     << recipe << QStringLiteral("--boundaries") << file,
                 &output),
             0);
    QCOMPARE(run(QStringList{QStringLiteral("generate"), two} << recipe, &output), 0);
    QCOMPARE(readBytes(path(one, "base002.dat")), readBytes(path(two, "base002.dat")));
    const World world = loadTestWorld(one);
    const int land =
        world.vertexCount -
        int(std::count(world.levels.begin(), world.levels.begin() + world.vertexCount, 0));
    QVERIFY(std::abs(land - 0.3 * world.vertexCount) < 0.02 * world.vertexCount);
    QCOMPARE(int(computeDrainage(world).lakes.size()), 0);
    const QString ogrinfo = QStandardPaths::findExecutable(QStringLiteral("ogrinfo"));
    if (ogrinfo.isEmpty())
        QSKIP("ogrinfo is missing (gdal-bin)");
    QCOMPARE(runProgram(
                 ogrinfo,
                 {QStringLiteral("-ro"), QStringLiteral("-al"), file, QStringLiteral("boundaries")},
                 &output),
             0);
    QVERIFY(output.contains(QStringLiteral("Geometry: Line String")));
    for (const char *kind : {"convergent", "divergent", "transform"})
        QVERIFY2(output.contains(QStringLiteral("kind (String) = %1").arg(QLatin1String(kind))),
                 kind);
}

void TestErosion::badInputIsRefusedInOneLineChangingNothing()
{
    const QString folder = world(3);
    const QByteArray levels = readBytes(path(folder, "base002.dat"));
    const QString missing = dir.filePath(QStringLiteral("none"));
    const QString made = dir.filePath(QStringLiteral("made"));
    const QList<QPair<QStringList, int>> cases = {
        {{QStringLiteral("erode"), missing}, 2},
        {{QStringLiteral("erode"), folder, QStringLiteral("--steps"), QStringLiteral("0")}, 1},
        {{QStringLiteral("erode"), folder, QStringLiteral("--steps"), QStringLiteral("nan")}, 1},
        {{QStringLiteral("erode"), folder, QStringLiteral("--steps"), QStringLiteral("-5")}, 1},
        {{QStringLiteral("erode"), folder, QStringLiteral("--strength"), QStringLiteral("nan")}, 1},
        {{QStringLiteral("generate"), made, QStringLiteral("--terrain"), QStringLiteral("plates"),
          QStringLiteral("--plates"), QStringLiteral("0")},
         1},
        {{QStringLiteral("generate"), made, QStringLiteral("--terrain"), QStringLiteral("plates"),
          QStringLiteral("--plates"), QStringLiteral("100000")},
         1},
        {{QStringLiteral("generate"), made, QStringLiteral("--terrain"), QStringLiteral("plates"),
          QStringLiteral("--boundaries"), dir.filePath(QStringLiteral("b.shp"))},
         1},
    };
    for (const auto &[arguments, status] : cases) {
        QCOMPARE(run(arguments, &output), status);
        QCOMPARE(output.trimmed().count(QLatin1Char('\n')), 0);
    }
    QCOMPARE(readBytes(path(folder, "base002.dat")), levels);
    QVERIFY(!QFile::exists(path(folder, "base002.dat.bak")));
    QVERIFY(!QFile::exists(made));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("b.shp"))));
    // A world of sea alone is left as it is; one of land alone is refused.
    const QString sea = world(3, WorldRecipe::Flat);
    const QByteArray flat = readBytes(path(sea, "base002.dat"));
    QCOMPARE(run({QStringLiteral("erode"), sea}, &output), 0);
    QCOMPARE(readBytes(path(sea, "base002.dat")), flat);
    editIntTable(path(sea, "base002.dat"), [](QVector<int> &table) { table.fill(3); });
    QCOMPARE(run({QStringLiteral("erode"), sea}, &output), 2);
    QVERIFY(output.contains(QStringLiteral("no sea")));
    QVERIFY(!QFile::exists(path(sea, "base002.dat.bak")));
}

QTEST_GUILESS_MAIN(TestErosion)
#include "tst_erosion.moc"
