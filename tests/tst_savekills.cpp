// A saver killed with SIGKILL at random moments while it saves, over and
// over: after each kill save.dat must be absent, or a whole table of one
// level per vertex from one save (never a mix of two), and once a save runs
// to its end no temporary file is left beside it.
//
// The saver is this program started again with --saver DIR: it loads the
// world and saves through the editor's save path as fast as it can, each
// save a table of one level, the save's number modulo 10. A kill cannot
// model a power cut (the page cache survives it); the syncs before and after
// the rename are what that needs.
//
// SAVE_KILLS sets the number of kills (default 40; `make kill-test` runs 500).
//
// A world written over another is killed at each of its renames in turn:
// the next load must find one whole world, never files of two.
#include "world/atomicwrite.h"
#include "world/levelstore.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldtables.h"
#include "world/worldwrite.h"
#include "worldfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const WorldRecipe killWorld{4, WorldRecipe::Random, 1, false}; // 2562 vertices

[[noreturn]] void runSaver(const QString &dir)
{
    QDir::setCurrent(dir);
    if (!loadWorld().ok())
        std::exit(2);
    std::puts("ready");
    std::fflush(stdout);
    for (int save = 0;; ++save) {
        if (!writeIntTable(QString::fromLatin1(saveFileName),
                           QVector<int>(worldVertexCount, save % 10))
                 .ok())
            std::exit(3);
    }
}

// Empty when the file is sound: absent, or one save's whole table.
QString saveProblem(const QString &path, int vertices)
{
    if (!QFile::exists(path))
        return QString();
    QVector<int> levels;
    const Status read = readLevelTable(path, vertices, levels);
    if (!read.ok())
        return read.message();
    if (levels.count(levels.first()) != levels.size())
        return QStringLiteral("%1 holds levels of two saves").arg(path);
    return QString();
}

int killAtRename = -1;

void killAtPlannedRename(int k)
{
    if (k == killAtRename)
        ::raise(SIGKILL);
}

bool sameWorld(const World &a, const World &b)
{
    return a.header == b.header && a.levels == b.levels && a.coords == b.coords &&
           a.corners == b.corners && a.fans == b.fans && a.demoFlag == b.demoFlag;
}

int killCount()
{
    bool ok = false;
    const int kills = qEnvironmentVariableIntValue("SAVE_KILLS", &ok);
    return ok && kills > 0 ? kills : 40;
}

} // namespace

class SaveKillTest : public QObject
{
    Q_OBJECT

private slots:
    void killedSavesLeaveWholeSaveDat();
    void worldWriteKilledBetweenRenamesLoadsWhole();
};

void SaveKillTest::killedSavesLeaveWholeSaveDat()
{
    QTemporaryDir dir;
    writeTestWorld(dir.path(), killWorld);
    const QString save = QDir(dir.path()).filePath(saveFileName);
    const int kills = killCount();
    int leftPartial = 0;
    for (int kill = 0; kill < kills; ++kill) {
        QProcess saver;
        saver.start(QCoreApplication::applicationFilePath(), {"--saver", dir.path()});
        QVERIFY2(saver.waitForReadyRead(30000), "the saver did not start");
        QThread::usleep(QRandomGenerator::global()->bounded(20000));
        saver.kill();
        QVERIFY(saver.waitForFinished(30000));
        QVERIFY2(
            saver.exitStatus() == QProcess::CrashExit,
            qPrintable(QStringLiteral("the saver stopped by itself (%1)").arg(saver.exitCode())));
        const QString problem = saveProblem(save, 2562);
        QVERIFY2(problem.isEmpty(),
                 qPrintable(QStringLiteral("kill %1: %2").arg(kill).arg(problem)));
        leftPartial += !QDir(dir.path())
                            .entryList({QStringLiteral("save.dat") + partialSuffix + '*'},
                                       QDir::Files | QDir::Hidden)
                            .isEmpty();
    }
    qInfo("%d kills, %d of them left a partial file", kills, leftPartial);

    const Status written = writeIntTable(save, QVector<int>(2562, 4));
    QVERIFY2(written.ok(), qPrintable(written.message()));
    QCOMPARE(QDir(dir.path()).entryList({"save.dat*"}, QDir::Files | QDir::Hidden),
             QStringList{"save.dat"});
}

// generate over a world, killed at its third rename, left base001-003 new
// and base004-005 old, a world that check refused.
void SaveKillTest::worldWriteKilledBetweenRenamesLoadsWhole()
{
    const World next = generateWorld({2, WorldRecipe::Random, 7, true});
    const int renames = 6; // five tables and demo.txt
    for (int k = 0; k <= renames; ++k) {
        QTemporaryDir dir;
        writeTestWorld(dir.path(), {2, WorldRecipe::Random, 1, false});
        std::fflush(nullptr);
        const pid_t writer = ::fork();
        if (writer == 0) {
            killAtRename = k;
            setRenameHook(killAtPlannedRename);
            writeWorld(dir.path(), next);
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(writer, &status, 0), writer);
        QVERIFY2(WIFSIGNALED(status), qPrintable(QStringLiteral("not killed at rename %1").arg(k)));
        QVERIFY(QFile::exists(QDir(dir.path()).filePath(writeJournalName)));
        World loaded;
        const Status status2 = loadWorld(dir.path(), DemoTerrain::Off, &loaded);
        QVERIFY2(status2.ok(),
                 qPrintable(QStringLiteral("rename %1: %2").arg(k).arg(status2.message())));
        QVERIFY2(sameWorld(loaded, next),
                 qPrintable(QStringLiteral("rename %1: not the new world").arg(k)));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"base001.dat", "base002.dat", "base003.dat", "base004.dat",
                              "base005.dat", "demo.txt"}));
    }
    // A journal from elsewhere renames nothing: one naming a file outside
    // its folder is refused, and the world stays as it is.
    QTemporaryDir dir;
    writeTestWorld(dir.path(), {2, WorldRecipe::Random, 1, false});
    writeBytes(QDir(dir.path()).filePath(writeJournalName),
               "globe write journal 1\n1 " + QByteArray("../victim").toHex() + ' ' +
                   QByteArray("../victim.partial-abcdefgh").toHex() + '\n');
    World loaded;
    const Status refused = loadWorld(dir.path(), DemoTerrain::Off, &loaded);
    QCOMPARE(refused.kind(), Status::Refused);
    QVERIFY2(refused.message().contains("line 2 is not a rename this program plans"),
             qPrintable(refused.message()));
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == QLatin1String("--saver"))
        runSaver(arguments.value(2));
    SaveKillTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_savekills.moc"
