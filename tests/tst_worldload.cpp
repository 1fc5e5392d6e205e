// Loading a world from its files: the demo flag, the counts from the header,
// and a refusal, with the file and the rule named, for each way a world can
// be broken. Every broken world starts as a sound generated one.
#include "world/levelheights.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "worldfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>

#include <climits>
#include <limits>

using WorldEdit = std::function<void(const QString &dir)>;
Q_DECLARE_METATYPE(WorldEdit)

class WorldLoadTest : public QObject
{
    Q_OBJECT

private slots:
    void demoFlag_data();
    void demoFlag();
    void demoTerrainOverBaseLevels();
    void demoSkipsVerticesBeyondTheTable();
    void countsFromHeader_data();
    void countsFromHeader();
    void refusesBrokenWorld_data();
    void refusesBrokenWorld();
    void emptyFolderGetsOneLineWithTheNextStep();
    void manyBreakagesAreSummarised();
    void sparseTablesClaimingBillionsCostNothing();
    void heightsReadBackExactlyAndBrokenOnesNamed_data();
    void heightsReadBackExactlyAndBrokenOnesNamed();

private:
    QString world(const WorldRecipe &recipe);
    QTemporaryDir dir;
};

QString WorldLoadTest::world(const WorldRecipe &recipe)
{
    const QString path = dir.filePath(QString::number(qHash(QTest::currentDataTag())) +
                                      QTest::currentTestFunction());
    writeTestWorld(path, recipe);
    return path;
}

static QString file(const QString &dir, const char *name)
{
    return QDir(dir).filePath(QString::fromLatin1(name));
}

void WorldLoadTest::demoFlag_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("flag");
    QTest::newRow("zero") << QByteArray("0\n") << 0;
    QTest::newRow("one") << QByteArray("1") << 1;
    QTest::newRow("negative") << QByteArray("-3") << -3;
    QTest::newRow("first of two integers") << QByteArray("7 0") << 7;
    QTest::newRow("leading white space") << QByteArray(" \n\t 5") << 5;
    QTest::newRow("leading letter") << QByteArray("x1") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("missing") << QByteArray("<missing>") << 0;
}

void WorldLoadTest::demoFlag()
{
    QFETCH(QByteArray, text);
    QFETCH(int, flag);
    const QString path = dir.filePath("demo.txt");
    QFile::remove(path);
    if (text != "<missing>")
        writeBytes(path, text);
    QCOMPARE(readDemoFlag(path), flag);
}

void WorldLoadTest::demoTerrainOverBaseLevels()
{
    const QString path = world({4, WorldRecipe::Flat, 1, true});
    editIntTable(file(path, levelsFileName), [](QVector<int> &levels) { levels.fill(8); });
    World w;
    QCOMPARE(loadWorld(path, DemoTerrain::AsFlagged, &w).lines(), QStringList());
    const QVector<int> &vertexLevels = w.levels;
    QCOMPARE(vertexLevels[3], 7);
    QCOMPARE(vertexLevels[25], 5);
    QCOMPARE(vertexLevels[76], 0);
    QCOMPARE(vertexLevels[106], 1);
    QCOMPARE(vertexLevels[107], 8);
    QCOMPARE(vertexLevels[108], 8);
    QCOMPARE(vertexLevels[109], 1);
    QCOMPARE(vertexLevels[141], 8);
    QCOMPARE(vertexLevels[142], 1);
    QCOMPARE(vertexLevels[143], 8);
    int touched = 0;
    for (int v = 0; v < 143; ++v)
        touched += vertexLevels[v] != 8;
    QCOMPARE(touched, 113); // no demo level is 8

    writeBytes(file(path, demoFileName), "0\n");
    QVERIFY(loadWorld(path, DemoTerrain::AsFlagged, &w).ok());
    QCOMPARE(vertexLevels.count(8), vertexLevels.size());
    QVERIFY(loadWorld(path, DemoTerrain::On, &w).ok());
    QCOMPARE(vertexLevels[3], 7);
}

void WorldLoadTest::demoSkipsVerticesBeyondTheTable()
{
    const QString path = world({0, WorldRecipe::Flat, 1, true}); // 12 vertices
    World w;
    QVERIFY(loadWorld(path, DemoTerrain::AsFlagged, &w).ok());
    QCOMPARE(w.levels.size(), 12);
    QCOMPARE(w.levels[3], 7);
    QCOMPARE(w.levels[11], 4);
}

void WorldLoadTest::countsFromHeader_data()
{
    QTest::addColumn<int>("pairs");     // header entry 3
    QTest::addColumn<int>("singles");   // header entry 4
    QTest::addColumn<int>("extraRows"); // rows appended to base004.dat
    QTest::addColumn<int>("triangles");
    QTest::newRow("as generated: 10 pairs") << 10 << 0 << 0 << 20;
    QTest::newRow("all single") << 0 << 20 << 0 << 20;
    QTest::newRow("10 pairs and 3 singles") << 10 << 3 << 3 << 23;
}

void WorldLoadTest::countsFromHeader()
{
    QFETCH(int, pairs);
    QFETCH(int, singles);
    QFETCH(int, extraRows);
    QFETCH(int, triangles);
    const QString path = world({0, WorldRecipe::Random, 7, false});
    editIntTable(file(path, headerFileName), [&](QVector<int> &header) {
        header[0] = 5;
        header[3] = pairs;
        header[4] = singles;
        header << 99 << 98; // entries past 10 are ignored
    });
    editIntTable(file(path, cornersFileName), [&](QVector<int> &corners) {
        for (int k = 0; k < extraRows; ++k)
            corners << corners.mid(0, 4);
    });
    World w;
    QCOMPARE(loadWorld(path, DemoTerrain::AsFlagged, &w).lines(), QStringList());
    QCOMPARE(w.triangleCount, triangles);
    QCOMPARE(w.vertexCount, 12);
    QCOMPARE(w.subdivision(), 5);
}

static WorldEdit truncate(const char *name, int bytes)
{
    return [=](const QString &dir) {
        const QString path = file(dir, name);
        writeBytes(path, readBytes(path).chopped(bytes));
    };
}

static WorldEdit replace(const char *name, const QByteArray &bytes)
{
    return [=](const QString &dir) { writeBytes(file(dir, name), bytes); };
}

static WorldEdit edit(const char *name, const std::function<void(QVector<int> &)> &change)
{
    return [=](const QString &dir) { editIntTable(file(dir, name), change); };
}

static WorldEdit removeFile(const char *name)
{
    return [=](const QString &dir) { QVERIFY(QFile::remove(file(dir, name))); };
}

void WorldLoadTest::refusesBrokenWorld_data()
{
    QTest::addColumn<WorldEdit>("breakWorld");
    QTest::addColumn<QString>("problem");

    const char *names[5] = {headerFileName, levelsFileName, coordsFileName, cornersFileName,
                            fansFileName};
    for (const char *name : names)
        QTest::newRow(qPrintable(QString("%1 missing").arg(name)))
            << removeFile(name) << QString("%1: missing (").arg(name);
    QTest::newRow("base003.dat is a folder") << WorldEdit([](const QString &dir) {
        QFile::remove(file(dir, coordsFileName));
        QDir(dir).mkdir(coordsFileName);
    }) << "base003.dat: cannot be read (";
    QTest::newRow("base004.dat cut short") << truncate(cornersFileName, 6)
                                           << "base004.dat: declares 20480 elements but holds "
                                              "only 20478 (81918 bytes)";
    QTest::newRow("base002.dat empty")
        << replace(levelsFileName, QByteArray()) << "base002.dat: 0 bytes long, too short";
    QTest::newRow("base003.dat huge count")
        << replace(coordsFileName, QByteArray::fromHex("ffffffff3f80000040490fdb"))
        << "base003.dat: declares 4294967295 elements but holds only 2 (12 bytes)";
    QTest::newRow("header of 7 entries")
        << edit(headerFileName, [](QVector<int> &h) { h.resize(7); })
        << "base001.dat: header holds 7 entries, but needs at least 11";
    QTest::newRow("negative vertex count")
        << edit(headerFileName, [](QVector<int> &h) { h[10] = -5; })
        << "base001.dat: vertex count (entry 10) is -5";
    QTest::newRow("no vertices") << edit(headerFileName, [](QVector<int> &h) { h[10] = 0; })
                                 << "base001.dat: vertex count (entry 10) is 0";
    QTest::newRow("triangle count overflows")
        << edit(headerFileName, [](QVector<int> &h) { h[3] = INT_MAX; })
        << "base001.dat: triangle count (entry 4 + 2 x entry 3 = 0 + 2 x 2147483647)";
    QTest::newRow("negative triangle entry")
        << edit(headerFileName, [](QVector<int> &h) { h[4] = -2; })
        << "base001.dat: triangle count (entry 4 + 2 x entry 3 = -2 + 2 x 2560)";
    QTest::newRow("more vertices than levels")
        << edit(headerFileName, [](QVector<int> &h) { h[10] += 1; })
        << "base002.dat: holds 2562 levels, but the world's 2563 vertices need 2563";
    QTest::newRow("more triangles than rows")
        << edit(headerFileName, [](QVector<int> &h) { h[4] = 1; })
        << "base004.dat: holds 20480 integers, but the world's 5121 triangles need 20484";
    QTest::newRow("corner out of range")
        << edit(cornersFileName, [](QVector<int> &c) { c[4 * 17 + 1] = 9000; })
        << "base004.dat: triangle 17 corner B is vertex 9000, but the world has 2562 vertices";
    QTest::newRow("negative corner")
        << edit(cornersFileName, [](QVector<int> &c) { c[4 * 5] = -1; })
        << "base004.dat: triangle 5 corner A is vertex -1";
    QTest::newRow("fan entry out of range")
        << edit(fansFileName, [](QVector<int> &f) { f[6 * 12 + 3] = 5120; })
        << "base005.dat: vertex 12 fan entry 3 is triangle 5120, but the world has 5120 "
           "triangles";
    // A FIFO hung the loader for ever; a link made it read what it names.
    QTest::newRow("base001.dat a FIFO") << WorldEdit([](const QString &dir) {
        QFile::remove(file(dir, headerFileName));
        QCOMPARE(::mkfifo(QFile::encodeName(file(dir, headerFileName)).constData(), 0600), 0);
    }) << "base001.dat: cannot be read (a FIFO, not a regular file)";
    QTest::newRow("base005.dat a link to /dev/zero") << WorldEdit([](const QString &dir) {
        QFile::remove(file(dir, fansFileName));
        QVERIFY(QFile::link("/dev/zero", file(dir, fansFileName)));
    }) << "base005.dat: cannot be read (a symbolic link, not a regular file)";
    QTest::newRow("NaN angle") << WorldEdit([](const QString &dir) {
        QVector<float> coords;
        QVERIFY(readFloatTable(file(dir, coordsFileName), coords).ok());
        coords[2 * 7 + 1] = std::numeric_limits<float>::quiet_NaN();
        QVERIFY(writeFloatTable(file(dir, coordsFileName), coords).ok());
    }) << "base003.dat: vertex 7 azimuth angle is nan, but must be a finite number";
    QTest::newRow("fan naming a triangle without the vertex")
        << edit(fansFileName, [](QVector<int> &f) { f[6 * 12 + 3] = f[6 * 40]; })
        << "does not have vertex 12 as a corner";
}

void WorldLoadTest::refusesBrokenWorld()
{
    QFETCH(WorldEdit, breakWorld);
    QFETCH(QString, problem);
    const QString path = world({4, WorldRecipe::Random, 1, true});
    breakWorld(path);
    World w;
    const Status loaded = loadWorld(path, DemoTerrain::AsFlagged, &w);
    const QString all = loaded.lines().join('\n');
    QVERIFY2(all.contains(problem), qPrintable(all));
    QCOMPARE(loaded.kind(), Status::Refused);
    QVERIFY(w.header.isEmpty());
}

// The editor in an empty folder printed five "missing" lines, then
// "base001.dat: header holds 0 entries", and nothing said how to make a world.
void WorldLoadTest::emptyFolderGetsOneLineWithTheNextStep()
{
    QTemporaryDir empty;
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(empty.path()));
    const Status editor = loadWorld();
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(editor.lines(), QStringList{QString("no world in %1: make one with `globe-world "
                                                 "generate %1`")
                                             .arg(QDir(empty.path()).canonicalPath())});
    const QString path = world({1, WorldRecipe::Flat, 1, false});
    QVERIFY(QFile::remove(file(path, headerFileName)));
    World w;
    QCOMPARE(loadWorld(path, DemoTerrain::Off, &w).lines(),
             QStringList{"base001.dat: missing (No such file or directory)"});
}

void WorldLoadTest::manyBreakagesAreSummarised()
{
    const QString path = world({3, WorldRecipe::Flat, 1, false});
    editIntTable(file(path, cornersFileName), [](QVector<int> &c) {
        for (int t = 0; t < 100; ++t)
            c[4 * t + 2] = 100000;
    });
    World w;
    const QStringList corners = loadWorld(path, DemoTerrain::AsFlagged, &w)
                                    .lines()
                                    .filter(QRegularExpression("^base004.dat: "));
    QCOMPARE(corners.size(), 9); // eight lines, then the count
    QCOMPARE(corners.last(), QString("base004.dat: 92 more corners out of range"));
}

static qint64 peakMemoryKiB()
{
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A base002.dat whose count said 536,870,906 (a 2 GiB sparse file) ended
// every program in bad_alloc, and a world claiming 50 M vertices took
// minutes and gigabytes: the counts were trusted as far as the file's size.
void WorldLoadTest::sparseTablesClaimingBillionsCostNothing()
{
    const qint64 before = peakMemoryKiB();
    const QString path = world({2, WorldRecipe::Random, 1, false});
    writeSparseTable(file(path, levelsFileName), 536870906);
    World w;
    const Status loaded = loadWorld(path, DemoTerrain::Off, &w);
    QVERIFY2(loaded.ok(), qPrintable(loaded.message()));
    QCOMPARE(w.levels.size(), 162); // what the header needs; the rest is never read

    editIntTable(file(path, headerFileName), [](QVector<int> &h) { h[10] = 50000000; });
    writeSparseTable(file(path, fansFileName), 300000000);
    const Status refused = loadWorld(path, DemoTerrain::Off, &w);
    QVERIFY2(refused.message().startsWith("base001.dat: vertex count (entry 10) is 50000000, "
                                          "but must be from 1 to 10485762"),
             qPrintable(refused.message()));
    QVERIFY2(peakMemoryKiB() - before < 256 * 1024,
             qPrintable(QString("peak memory grew by %1 KiB").arg(peakMemoryKiB() - before)));
}

void WorldLoadTest::heightsReadBackExactlyAndBrokenOnesNamed_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("refusal"); // empty: read back
    LevelHeights earth;
    earth.metres = {23, 124, 264, 499, 820, 1241, 2082, 3152, 4781.123456789012};
    earth.seaKnown = true;
    earth.seaDepthM = 3682.5;
    QTest::newRow("as written") << levelHeightsBytes(earth) << QString();
    QByteArray falling = levelHeightsBytes(heightsFromPeak(900));
    falling.replace("level 5 450", "level 5 40");
    QTest::newRow("falling") << falling
                             << "heights.txt: the heights must rise above 0 m with "
                                "each level, and level 5's does not";
    QTest::newRow("nan") << QByteArray("level 1 nan\n")
                         << "heights.txt: line 1: a height must be a finite number of metres";
    QTest::newRow("a level twice")
        << QByteArray("level 1 10\nlevel 1 20\n")
        << "heights.txt: line 2: expected \"level K METRES\" for a new K of 1 to 9, or one "
           "\"sea METRES\" of 0 or more";
    QTest::newRow("missing") << QByteArray("level 1 10\n") << "heights.txt: no height for level 2";
}

void WorldLoadTest::heightsReadBackExactlyAndBrokenOnesNamed()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, refusal);
    LevelHeights heights;
    const Status status = parseLevelHeights(text, &heights);
    QCOMPARE(status.message(), refusal);
    if (refusal.isEmpty()) {
        QCOMPARE(levelHeightsBytes(heights), text);
        QCOMPARE(heights.metres[8], 4781.123456789012);
    }
}

QTEST_GUILESS_MAIN(WorldLoadTest)
#include "tst_worldload.moc"
