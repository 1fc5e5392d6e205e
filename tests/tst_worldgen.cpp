// Generated worlds: the mesh they promise, their levels, their files, the
// mesh checker catching faults made on purpose, and the globe-world tool.
#include "generator/meshcheck.h"
#include "generator/rotate.h"
#include "generator/worldgen.h"
#include "terrain/vec3.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldwrite.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

class WorldGenTest : public QObject
{
    Q_OBJECT

private slots:
    void meshInvariants_data();
    void meshInvariants();
    void numberedRingByRingFromPole_data();
    void numberedRingByRingFromPole();
    void sameSeedSameWorld();
    void randomLevelsShares_data();
    void randomLevelsShares();
    void writeThenLoad();
    void generateOnFullDiskKeepsOldWorld();
    void generateOverAWorldNeedsOverwrite();
    void checkerCatchesFaults_data();
    void checkerCatchesFaults();
    void tool_data();
    void tool();
    void noCommandPrintsARawName();
    void rotateMovesThePoleKeepsTheMesh_data();
    void rotateMovesThePoleKeepsTheMesh();
};

namespace {

World world(int subdivision, quint32 seed = 1)
{
    WorldRecipe recipe;
    recipe.subdivision = subdivision;
    recipe.seed = seed;
    return generateWorld(recipe);
}

int triangleCountOf(const World &w)
{
    return w.corners.size() / 4;
}

QSet<quint64> edgesOf(const World &w)
{
    QSet<quint64> edges;
    for (int t = 0; t < triangleCountOf(w); ++t) {
        for (int k = 0; k < 3; ++k) {
            const int a = w.corners[4 * t + k], b = w.corners[4 * t + (k + 1) % 3];
            edges.insert(quint64(qMin(a, b)) << 32 | quint64(qMax(a, b)));
        }
    }
    return edges;
}

// Graph distance of every vertex from vertex 0.
QVector<int> ringsFromVertex0(const World &w)
{
    const int vertices = w.header[10];
    QVector<QVector<int>> neighbours(vertices);
    for (quint64 edge : edgesOf(w)) {
        neighbours[int(edge >> 32)] << int(edge & 0xFFFFFFFFu);
        neighbours[int(edge & 0xFFFFFFFFu)] << int(edge >> 32);
    }
    QVector<int> ring(vertices, -1), queue{0};
    ring[0] = 0;
    for (int head = 0; head < queue.size(); ++head) {
        for (int n : neighbours[queue[head]]) {
            if (ring[n] < 0) {
                ring[n] = ring[queue[head]] + 1;
                queue << n;
            }
        }
    }
    return ring;
}

void addSubdivisionRows(int from, int to)
{
    QTest::addColumn<int>("subdivision");
    for (int s = from; s <= to; ++s)
        QTest::newRow(qPrintable(QStringLiteral("subdivision %1").arg(s))) << s;
}

} // namespace

void WorldGenTest::meshInvariants_data()
{
    addSubdivisionRows(0, 5);
}

void WorldGenTest::meshInvariants()
{
    QFETCH(int, subdivision);
    const World w = world(subdivision);
    const int quads = 1 << (2 * subdivision);
    QCOMPARE(w.header.size(), 11);
    QCOMPARE(w.header[0], subdivision);
    QCOMPARE(w.header[10], 10 * quads + 2);
    QCOMPARE(w.header[4] + 2 * w.header[3], 20 * quads);
    QCOMPARE(triangleCountOf(w), 20 * quads);
    const int edges = edgesOf(w).size();
    QCOMPARE(edges, 30 * quads);
    QCOMPARE(w.header[10] - edges + triangleCountOf(w), 2);

    int fiveTriangleVertices = 0;
    for (int v = 0; v < w.header[10]; ++v)
        fiveTriangleVertices += w.fans[6 * v + 5] == w.fans[6 * v + 4];
    QCOMPARE(fiveTriangleVertices, 12);

    QCOMPARE(checkWorldTables(w.header, w.levels, w.coords, w.corners, w.fans), QStringList());
    QCOMPARE(checkMeshProperties(w.header, w.coords, w.corners, w.fans), QStringList());
}

void WorldGenTest::numberedRingByRingFromPole_data()
{
    addSubdivisionRows(0, 4);
}

void WorldGenTest::numberedRingByRingFromPole()
{
    QFETCH(int, subdivision);
    const World w = world(subdivision);
    QCOMPARE(w.coords[0], 0.0f);
    QCOMPARE(w.coords[1], 0.0f);
    const QVector<int> ring = ringsFromVertex0(w);
    for (int v = 1; v < ring.size(); ++v) {
        const float phi = w.coords[2 * v + 1];
        QVERIFY2(phi >= 0 && phi < float(2 * M_PI), qPrintable(QString::number(v)));
        QVERIFY2(ring[v] >= ring[v - 1], qPrintable(QString::number(v)));
        if (ring[v] == ring[v - 1])
            QVERIFY2(phi >= w.coords[2 * v - 1], qPrintable(QString::number(v)));
    }
    const int south = ring.size() - 1;
    QCOMPARE(w.coords[2 * south], float(M_PI));
    QCOMPARE(w.coords[2 * south + 1], 0.0f);
}

void WorldGenTest::sameSeedSameWorld()
{
    const World a = world(3, 7), b = world(3, 7), other = world(3, 8);
    QCOMPARE(a.header, b.header);
    QCOMPARE(a.levels, b.levels);
    QCOMPARE(a.coords, b.coords);
    QCOMPARE(a.corners, b.corners);
    QCOMPARE(a.fans, b.fans);
    QVERIFY(a.levels != other.levels);
    QCOMPARE(a.corners, other.corners);

    WorldRecipe flat;
    flat.terrain = WorldRecipe::Flat;
    QCOMPARE(levelShare(generateWorld(flat).levels, 2562).perLevel[0], 2562);
}

void WorldGenTest::randomLevelsShares_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::newRow("seed 1") << 1u;
    QTest::newRow("seed 2") << 2u;
    QTest::newRow("seed 4294967295") << 4294967295u;
}

void WorldGenTest::randomLevelsShares()
{
    QFETCH(quint32, seed);
    const World w = world(4, seed);
    const LevelShare share = levelShare(w.levels, w.header[10]);
    QCOMPARE(share.outside, 0);
    const double land = 1.0 - double(share.perLevel[0]) / share.vertices;
    QVERIFY2(land >= 0.25 && land <= 0.35, qPrintable(QString::number(land)));
    QVERIFY(share.perLevel[9] > 0);
    const double high = double(share.perLevel[7] + share.perLevel[8] + share.perLevel[9]);
    QVERIFY(high / share.vertices > 0.01 && high / share.vertices < 0.06);

    // Smooth continents: most edges stay on land or at sea. Levels scattered
    // at random would put about 42% of the edges across a coast.
    int coastEdges = 0;
    const QSet<quint64> edges = edgesOf(w);
    for (quint64 edge : edges)
        coastEdges += (w.levels[int(edge >> 32)] == 0) != (w.levels[int(edge & 0xFFFFFFFFu)] == 0);
    QVERIFY2(coastEdges < edges.size() / 8, qPrintable(QString::number(coastEdges)));
}

void WorldGenTest::writeThenLoad()
{
    QTemporaryDir dir;
    WorldRecipe recipe;
    recipe.subdivision = 3;
    recipe.demo = true;
    const World w = generateWorld(recipe);
    QCOMPARE(writeWorld(dir.filePath("new/world"), w).lines(), QStringList());

    World loaded;
    QCOMPARE(loadWorld(dir.filePath("new/world"), DemoTerrain::AsFlagged, &loaded).lines(),
             QStringList());
    QCOMPARE(loaded.vertexCount, 642);
    QCOMPARE(loaded.triangleCount, 1280);
    QCOMPARE(loaded.header, w.header);
    QCOMPARE(loaded.coords, w.coords);
    QCOMPARE(loaded.corners, w.corners);
    QCOMPARE(loaded.fans, w.fans);
    QCOMPARE(loaded.levels[3], 7);
    QCOMPARE(loaded.levels.mid(143), w.levels.mid(143));

    QFile demo(dir.filePath("new/world/demo.txt"));
    QVERIFY(demo.open(QIODevice::ReadOnly));
    QCOMPARE(demo.readAll(), QByteArray("1\n"));
}

void WorldGenTest::checkerCatchesFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("expected");
    QTest::newRow("corner order flipped") << "flip"
                                          << "base004.dat: triangle 17 is clockwise";
    QTest::newRow("outline flag cleared") << "clear flag"
                                          << "is outlined 0 times";
    QTest::newRow("every outline flag set") << "set all flags"
                                            << "more edges not outlined";
    QTest::newRow("fan entries swapped") << "swap fan"
                                         << "do not go counter-clockwise";
    QTest::newRow("five-triangle fan not repeating entry 4") << "five fan"
                                                             << "does not repeat entry 4";
}

namespace {

// Breaks one promise of a sound world the way a careless edit of the tables would.
void applyFault(World &w, const QString &fault)
{
    const int triangles = triangleCountOf(w);
    int flagged = 0;
    while (w.corners[4 * flagged + 3] == 0)
        ++flagged;
    const int sixFan = 6 * (w.header[10] - 2), fiveFan = 0;
    if (fault == "flip")
        std::swap(w.corners[4 * 17 + 1], w.corners[4 * 17 + 2]);
    else if (fault == "clear flag")
        w.corners[4 * flagged + 3] = 0;
    else if (fault == "set all flags")
        for (int t = 0; t < triangles; ++t)
            w.corners[4 * t + 3] = 1;
    else if (fault == "swap fan")
        std::swap(w.fans[sixFan + 1], w.fans[sixFan + 3]);
    else if (fault == "five fan")
        w.fans[fiveFan + 5] = w.fans[fiveFan];
}

} // namespace

void WorldGenTest::checkerCatchesFaults()
{
    QFETCH(QString, fault);
    QFETCH(QString, expected);
    World w = world(2);
    applyFault(w, fault);
    QCOMPARE(checkWorldTables(w.header, w.levels, w.coords, w.corners, w.fans), QStringList());
    const QStringList problems = checkMeshProperties(w.header, w.coords, w.corners, w.fans);
    QVERIFY2(!problems.filter(expected).isEmpty(), qPrintable(problems.join('\n')));
}

void WorldGenTest::tool_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // expected in stdout, or stderr on failure

    QTest::newRow("check a generated world")
        << QStringList{"check", "good"} << 0 << "subdivision 2, 162 vertices, 320 triangles";
    QTest::newRow("check says the world passed")
        << QStringList{"check", "good"} << 0 << "good: passed: the editor opens this world";
    QTest::newRow("info on a generated world")
        << QStringList{"info", "good"} << 0 << "sea (level 0)";
    QTest::newRow("check truncated corners")
        << QStringList{"check", "broken"} << 2 << "base004.dat: declares 1280 elements";
    QTest::newRow("info refuses truncated corners")
        << QStringList{"info", "broken"} << 2 << "base004.dat";
    QTest::newRow("subdivision 9") << QStringList{"generate", "other", "--subdivision", "9"} << 1
                                   << "globe-world: --subdivision must be from 0 to 8, not '9'";
    QTest::newRow("help on a command")
        << QStringList{"help", "generate"} << 0 << "--terrain <flat|random|plates|earth>";
    // A box on an accepted world would wait for a click and time the test out.
    QTest::newRow("check --gui on a generated world")
        << QStringList{"check", "--gui", "good"} << 0 << "subdivision 2, 162 vertices";
    QTest::newRow("help-all offered by Qt") << QStringList{"--help-all"} << 0 << "Exit status:";
    QTest::newRow("help-all on a command") << QStringList{"check", "--help-all"} << 0 << "--gui";
    QTest::newRow("unknown command") << QStringList{"frob"} << 1 << "unknown command 'frob'";
    // Errors were escaped but summaries were not: a name holding a newline
    // printed a line of its maker's choosing after a success.
    QTest::newRow("name with a newline on stdout")
        << QStringList{"generate", "w\nFAKE LINE: all good", "--subdivision", "0"} << 0
        << "w\\nFAKE LINE: all good: 12 vertices";
    QTest::newRow("mistyped command")
        << QStringList{"genrate"} << 1 << "unknown command 'genrate'; did you mean 'generate'?";
    QTest::newRow("mistyped option") << QStringList{"info", "good", "--levles", "x"} << 1
                                     << "unknown option '--levles'; did you mean '--levels'?";
    // A mistyped option was echoed as typed: a newline in it made a second line.
    QTest::newRow("unknown option with a newline")
        << QStringList{"info", "good", "--x\nFAKE LINE: all good"} << 1
        << "Unknown option 'x\\nFAKE LINE: all good'.";
    QTest::newRow("no world at all")
        << QStringList{"info", "good/.."} << 2
        << "no world in good/..: make one with `globe-world generate good/..`";
    QTest::newRow("rotate without a pole")
        << QStringList{"rotate", "good"} << 1 << "rotate: missing --pole LAT,LON";
    QTest::newRow("rotate to a pole beyond 90")
        << QStringList{"rotate", "good", "--pole", "91,0"} << 1 << "--pole must be LAT,LON";
    QTest::newRow("rotate by NaN")
        << QStringList{"rotate", "good", "--pole", "10,20", "--turn", "nan"} << 1
        << "--turn must be a number from -360 to 360, not 'nan'";
}

void WorldGenTest::tool()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);
    // The two worlds once for every row: no row changes them.
    static QTemporaryDir dir;
    QProcess process;
    process.setWorkingDirectory(dir.path());
    if (!QFileInfo::exists(dir.filePath("broken"))) {
        for (const char *folder : {"good", "broken"}) {
            process.start(GLOBE_WORLD_EXE, {"generate", folder, "--subdivision", "2"});
            QVERIFY(process.waitForFinished());
            QCOMPARE(process.exitCode(), 0);
        }
        QFile corners(dir.filePath("broken/base004.dat"));
        QVERIFY(corners.resize(corners.size() - 6));
    }

    process.start(GLOBE_WORLD_EXE, arguments);
    QVERIFY(process.waitForFinished());
    const QString out = process.readAllStandardOutput() + process.readAllStandardError();
    QCOMPARE(process.exitCode(), status);
    QVERIFY2(out.contains(output), qPrintable(out));
}

// Three commands printed names raw on stdout, usage errors echoed values
// raw, and GDAL's own words named a file raw: a newline in a name or value
// printed a line of its maker's choosing.
void WorldGenTest::noCommandPrintsARawName()
{
    QTemporaryDir dir;
    const QString fake = QStringLiteral("\nFAKE LINE");
    const QString world = "w" + fake;
    QFile junk(dir.filePath("j" + fake + ".tif"));
    QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("II*\0 not a tiff") > 0);
    junk.close();
    const QList<QStringList> runs{
        {"generate", world, "--subdivision", "0"},
        {"generate", world, "--subdivision", "0"},
        {"info", world},
        {"check", world},
        {"map", world, "--out", "m" + fake + ".png", "--width", "64"},
        {"map", world, "--out", "t" + fake + ".tif", "--width", "64"},
        {"map", world, "--out", "r" + fake + ".png", "--projection", "robinson", "--width", "64"},
        {"map", world, "--out", "c" + fake + ".png", "--projection", "cube", "--width", "64"},
        {"map", world, "--out", "x.png", "--width", fake},
        {"map", world, "--out", "x.png", "--projection", fake},
        {"map", world, "--out", "x.png", "--projection", "robinson", "--center", fake},
        {"map", world, "--out", "x.png", "--graticule", fake},
        {"export", world, "--out", "e" + fake + ".stl", "--halves"},
        {"export", world, "--out", "x.stl", "--relief", fake},
        {"export", world, "--out", "x.stl", "--halves", "--pins", fake},
        {"rivers", world, "--out", "v" + fake + ".geojson"},
        {"rivers", world, "--out", "x.gpkg", "--min-area", fake},
        {"import", world, "--heightmap", "m" + fake + ".png"},
        {"import", world, "--heightmap", "j" + fake + ".tif"},
        {"import", world, "--heightmap", "x.png", "--scale", fake},
        {"rotate", world, "--pole", "10,20"},
        {"rotate", world, "--pole", fake},
        {"info", world, "--levels", "s" + fake},
        {"generate", "n", "--terrain", fake},
        {"generate", "n", "--seed", fake},
        {"generate", "n", "--subdivision", fake},
    };
    QProcess process;
    process.setWorkingDirectory(dir.path());
    const auto noFakeLine = [&](const QStringList &arguments) {
        const QStringList lines =
            QString(process.readAllStandardOutput() + process.readAllStandardError()).split('\n');
        for (const QString &line : lines)
            QVERIFY2(!line.startsWith("FAKE LINE"),
                     qPrintable(arguments.join(' ') + ":\n" + lines.join('\n')));
    };
    for (const QStringList &arguments : runs) {
        process.start(GLOBE_WORLD_EXE, arguments);
        QVERIFY(process.waitForFinished());
        noFakeLine(arguments);
    }
    process.start("sh", {GLOBE_LAUNCH, "--x" + fake});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 1);
    noFakeLine({"globe-launch"});
}

namespace {

Vec3 unitOf(const QVector<float> &coords, int v)
{
    const double theta = coords[2 * v], phi = coords[2 * v + 1];
    return {std::sin(theta) * std::sin(phi), std::sin(theta) * std::cos(phi), std::cos(theta)};
}

double angleBetween(const Vec3 &a, const Vec3 &b)
{
    return std::atan2(std::sqrt(dot(cross(a, b), cross(a, b))), dot(a, b));
}

} // namespace

void WorldGenTest::rotateMovesThePoleKeepsTheMesh_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<double>("turn");
    QTest::newRow("a point in the north-east") << 30.0 << 40.0 << 20.0;
    QTest::newRow("the south pole") << -90.0 << -70.0 << 0.0;
    QTest::newRow("the pole kept, turned east") << 90.0 << 0.0 << 30.0;
}

// Every vertex's new polar angle is its old distance from the chosen point,
// the angles between neighbours are kept, a turn adds to every longitude,
// only base003.dat changes and the world still passes every check.
void WorldGenTest::rotateMovesThePoleKeepsTheMesh()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(double, turn);
    QTemporaryDir dir;
    const World before = world(3);
    QVERIFY(writeWorld(dir.path(), before).ok());
    World loaded;
    QVERIFY(loadWorld(dir.path(), DemoTerrain::Off, &loaded).ok());
    QVERIFY(rotateWorld(dir.path(), loaded, {latitude, longitude, turn}).ok());
    World after;
    QVERIFY(loadWorld(dir.path(), DemoTerrain::Off, &after).ok());
    QCOMPARE(after.levels, before.levels);
    QCOMPARE(after.corners, before.corners);
    QCOMPARE(after.fans, before.fans);
    QCOMPARE(checkMeshProperties(after.header, after.coords, after.corners, after.fans),
             QStringList());
    const double degree = M_PI / 180;
    const Vec3 point =
        unitOf({float((90 - latitude) * degree), float((180 - longitude) * degree)}, 0);
    const double tolerance = 2e-6; // the float angles of the file
    for (int v = 0; v < before.vertexCount; ++v) {
        const Vec3 old = unitOf(before.coords, v);
        QVERIFY(std::fabs(after.coords[2 * v] - angleBetween(old, point)) < tolerance);
        for (int k = 0; k < 6; ++k) {
            const int t = before.fans[6 * v + k];
            for (int c = 0; c < 3; ++c) {
                const int n = before.corners[4 * t + c];
                QVERIFY(std::fabs(angleBetween(unitOf(after.coords, v), unitOf(after.coords, n)) -
                                  angleBetween(old, unitOf(before.coords, n))) < tolerance);
            }
        }
        if (latitude == 90 && before.coords[2 * v] > 0.1 && before.coords[2 * v] < 3) {
            // longitude = 180 - azimuth: east by turn is the azimuth less turn
            const double moved =
                std::remainder(before.coords[2 * v + 1] - after.coords[2 * v + 1], 2 * M_PI);
            QVERIFY(std::fabs(moved - turn * degree) < tolerance);
        }
    }
}

namespace {

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QMap<QString, QByteArray> filesIn(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        QFile file(QDir(folder).filePath(name));
        files[name] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("?");
    }
    return files;
}

} // namespace

// generate into the folder of an imported Earth replaced it without a word,
// and left the old world's save.dat beside the new world.
void WorldGenTest::generateOverAWorldNeedsOverwrite()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("world");
    QVERIFY(run(GLOBE_WORLD_EXE, {"generate", folder, "--subdivision", "1"}));
    QVERIFY(writeIntTable(QDir(folder).filePath("save.dat"), QVector<int>(42, 3)).ok());
    const QMap<QString, QByteArray> before = filesIn(folder);
    QProcess process;
    process.start(GLOBE_WORLD_EXE, {"generate", folder, "--subdivision", "2"});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().contains("add --overwrite to replace it"));
    QVERIFY(filesIn(folder) == before);

    process.start(GLOBE_WORLD_EXE, {"generate", folder, "--subdivision", "2", "--overwrite"});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(process.readAllStandardOutput().contains("save.dat: holds 42 levels, but the world "
                                                     "has 162 vertices (kept"));
    const QMap<QString, QByteArray> after = filesIn(folder);
    QCOMPARE(after["save.dat"], before["save.dat"]);
    QVERIFY(after["base001.dat"] != before["base001.dat"]);
}

// generate over a world on a full disk replaced base001.dat to base004.dat,
// then failed on base005.dat: the world left was neither the old nor the
// new, and the message hid ENOSPC behind a byte count.
void WorldGenTest::generateOnFullDiskKeepsOldWorld()
{
    QTemporaryDir base;
    const QString folder = base.filePath("world");
    QVERIFY(QDir().mkpath(folder));
    // 64 KB: room for a subdivision-1 world (six pages), and for the first
    // three files of a subdivision-4 one, not for its 80 KB base004.dat.
    if (!run("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder}))
        QSKIP("cannot mount a tmpfs here (needs root)");
    QVERIFY(writeWorld(folder, generateWorld({1, WorldRecipe::Random, 1, false})).ok());
    const QMap<QString, QByteArray> before = filesIn(folder);
    const Status written = writeWorld(folder, generateWorld({4, WorldRecipe::Random, 1, false}));
    const QMap<QString, QByteArray> after = filesIn(folder);
    QVERIFY(run("umount", {folder}));
    QCOMPARE(written.kind(), Status::NotWritten);
    QVERIFY2(written.message().endsWith("not written (No space left on device)"),
             qPrintable(written.message()));
    QCOMPARE(after.keys(), before.keys());
    QVERIFY(after == before);
}

QTEST_GUILESS_MAIN(WorldGenTest)
#include "tst_worldgen.moc"
