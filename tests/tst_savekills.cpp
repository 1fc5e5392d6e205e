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
#include "world/levelstore.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldtables.h"
#include "worldfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <cstdio>

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
