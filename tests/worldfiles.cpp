#include "worldfiles.h"

#include "terrain/vec3.h"
#include "world/tablefile.h"
#include "world/worldwrite.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

void writeTestWorld(const QString &dir, const WorldRecipe &recipe)
{
    const Status written = writeWorld(dir, generateWorld(recipe));
    if (!written.ok())
        QFAIL(qPrintable(written.message()));
}

World loadTestWorld(const QString &dir, DemoTerrain demo)
{
    World world;
    const Status loaded = loadWorld(dir, demo, &world);
    QTest::qVerify(loaded.ok(), "loadWorld", qPrintable(loaded.lines().join('\n')), __FILE__,
                   __LINE__);
    return world;
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    const Status written = writeFileAtomically(path, bytes);
    if (!written.ok())
        QFAIL(qPrintable(written.message()));
}

void writeSoundAndBrokenWorlds(const QString &dir)
{
    WorldRecipe recipe;
    recipe.subdivision = 2;
    writeTestWorld(QDir(dir).filePath(QStringLiteral("world")), recipe);
    writeTestWorld(QDir(dir).filePath(QStringLiteral("broken")), recipe);
    writeBytes(QDir(dir).filePath(QStringLiteral("broken/base004.dat")), "3\n1\n");
}

void editIntTable(const QString &path, const std::function<void(QVector<int> &)> &edit)
{
    QVector<int> table;
    QVERIFY(readIntTable(path, table).ok());
    edit(table);
    const Status written = writeIntTable(path, table);
    QVERIFY2(written.ok(), qPrintable(written.message()));
}

int runProgram(const QString &program, const QStringList &arguments, QString *output)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return -1;
    *output = process.readAllStandardOutput() + process.readAllStandardError();
    return process.exitCode();
}

void addPlantedLinkRows()
{
    QTest::addColumn<PlantedLink>("link");
    QTest::newRow("symbolic link at the temporary name") << PlantedLink::SymlinkAtTemporary;
    QTest::newRow("hard link at the temporary name") << PlantedLink::HardLinkAtTemporary;
    QTest::newRow("symbolic link at the target") << PlantedLink::SymlinkAtTarget;
    QTest::newRow("hard link at the target") << PlantedLink::HardLinkAtTarget;
}

void plantLink(PlantedLink link, const QString &target, const QString &victim)
{
    const bool atTarget =
        link == PlantedLink::SymlinkAtTarget || link == PlantedLink::HardLinkAtTarget;
    const QByteArray name = QFile::encodeName(atTarget ? target : target + ".partial");
    const QByteArray to = QFile::encodeName(victim);
    ::unlink(name.constData());
    const bool symbolic =
        link == PlantedLink::SymlinkAtTemporary || link == PlantedLink::SymlinkAtTarget;
    const int made = symbolic ? ::symlink(to.constData(), name.constData())
                              : ::link(to.constData(), name.constData());
    QVERIFY2(made == 0, "cannot plant the link");
}

bool isPlainFile(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           info.st_nlink == 1;
}

void writeSparseTable(const QString &path, quint32 count)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    uchar head[4];
    qToBigEndian(count, head);
    QCOMPARE(file.write(reinterpret_cast<const char *>(head), 4), qint64(4));
    QVERIFY(file.resize(4 + 4 * qint64(count)));
}

QString WorldSuite::world(int subdivision, WorldRecipe::Terrain levels, bool demo)
{
    static int made = 0;
    const QString folder = dir.filePath(QStringLiteral("world%1").arg(++made));
    writeTestWorld(folder, {subdivision, levels, 1, demo});
    return folder;
}

// The vertex of the loaded world nearest a place, by the geography
// convention: longitude 180 degrees - azimuth, latitude 90 degrees - polar angle.
static int vertexAt(const World &world, double longitude, double latitude)
{
    const double theta = (90 - latitude) * M_PI / 180, phi = M_PI - longitude * M_PI / 180;
    const Vec3 place = unitDirection(theta, phi);
    int nearest = 0;
    double best = -2;
    for (int v = 0; v < world.vertexCount; ++v) {
        const double closeness =
            dot(place, unitDirection(world.coords[2 * v], world.coords[2 * v + 1]));
        if (closeness > best) {
            best = closeness;
            nearest = v;
        }
    }
    return nearest;
}

void checkPlaces(const QString &folder, const Places &places)
{
    const World world = loadTestWorld(folder);
    for (const QVector<double> &place : places) {
        const int level = world.levels[vertexAt(world, place[0], place[1])];
        const QString where = QString("%1, %2: level %3").arg(place[0]).arg(place[1]).arg(level);
        QVERIFY2(place[2] >= 0 ? level == place[2] : level >= -place[2], qPrintable(where));
    }
}

QString path(const QString &dir, const char *file)
{
    return QDir(dir).filePath(QString::fromLatin1(file));
}

Status importRaster(const QString &folder, const QString &raster, const LevelScale &scale)
{
    ImportOptions options;
    options.rasters = QStringList{raster};
    options.scale = scale;
    ImportSummary found;
    return importRelief(folder, loadTestWorld(folder, DemoTerrain::AsFlagged), options, &found);
}
