// F9 in the real window: what save.dat holds, and what happens when it cannot
// be written: a read-only folder, an immutable save.dat, a full disk, and a
// write that fails part way. Each
// must leave the earlier save.dat byte for byte, no temporary file beside it,
// and the line "globe: terrain not saved: save.dat: not written (REASON)" on
// stderr; once the fault clears, the next F9 saves.
//
// Tests run as root, whom permission bits do not stop, so the faults are real
// file systems: a small tmpfs (remounted read-only, or filled up) and
// chattr +i. Where mount or chattr is not allowed, those rows are skipped;
// the part-way failure comes through writeFileAtomically's write seam.
#include "scenefixture.h"
#include "stderrcapture.h"
#include "world/tablefile.h"
#include "worldfiles.h"

#include <QProcess>
#include <QTemporaryFile>
#include <QtTest>

#include <unistd.h>

#include <cstdio>

namespace {

enum class Fault { ReadOnlyFolder, ImmutableSave, FullDisk, WriteFailsPartWay };

const WorldRecipe faultWorld{2, WorldRecipe::Random, 3, false}; // 162 vertices: a 652-byte save.dat

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

qint64 halfAndStop(QIODevice &device, const QByteArray &bytes)
{
    return device.write(bytes.left(bytes.size() / 2));
}

// Makes one fault in a folder and undoes it on destruction, whatever the test
// did in between, so that no mount or immutable file outlives a failed test.
class FaultSite
{
public:
    FaultSite(Fault fault, const QString &folder) : fault(fault), folder(folder)
    {
        QDir().mkpath(folder);
        const bool needsTmpfs = fault == Fault::ReadOnlyFolder || fault == Fault::FullDisk;
        // Room for the world, save.dat and a temporary copy; not much more.
        if (needsTmpfs &&
            !(mounted = run("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder})))
            why = QStringLiteral("cannot mount a tmpfs here (needs root)");
    }

    ~FaultSite()
    {
        clear();
        if (mounted && !run("umount", {folder}))
            qWarning("could not unmount %s", qPrintable(folder));
    }

    FaultSite(const FaultSite &) = delete;
    FaultSite &operator=(const FaultSite &) = delete;

    // Why the fault cannot be made here; empty when it can.
    QString unavailable() const { return why; }

    bool arm()
    {
        armed = true;
        switch (fault) {
        case Fault::ReadOnlyFolder:
            return run("mount", {"-o", "remount,ro", folder});
        case Fault::ImmutableSave:
            if (!run("chattr", {"+i", savePath()}))
                why = QStringLiteral("chattr +i is not available on this file system");
            return why.isEmpty();
        case Fault::FullDisk:
            return fillDisk();
        case Fault::WriteFailsPartWay:
            setDeviceWrite(halfAndStop);
            return true;
        }
        return false;
    }

    void clear()
    {
        if (!armed)
            return;
        armed = false;
        if (fault == Fault::ReadOnlyFolder)
            run("mount", {"-o", "remount,rw", folder});
        if (fault == Fault::ImmutableSave)
            run("chattr", {"-i", savePath()});
        if (fault == Fault::FullDisk)
            QFile::remove(fillerPath());
        setDeviceWrite(nullptr);
    }

    QString savePath() const { return QDir(folder).filePath("save.dat"); }
    QString fillerPath() const { return QDir(folder).filePath("filler"); }

private:
    bool fillDisk()
    {
        QFile filler(fillerPath());
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
        return filler.error() != QFileDevice::NoError;
    }

    Fault fault;
    QString folder;
    bool mounted = false;
    bool armed = false;
    QString why;
};

QStringList strayFiles(const QString &folder)
{
    return QDir(folder).entryList({"save.dat?*", ".save.dat*", "*.tmp"},
                                  QDir::Files | QDir::Hidden);
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class SaveFaultTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void failedSaveKeepsEarlierSaveDat_data();
    void failedSaveKeepsEarlierSaveDat();
    void saveOfLongerBaseTableRestores();
    void plantedLinksAreReplacedNotFollowed_data();
    void plantedLinksAreReplacedNotFollowed();
};

void SaveFaultTest::initTestCase()
{
    SceneFixture probe(faultWorld);
    if (!probe.ready())
        QSKIP("no GL context can be made here");
}

void SaveFaultTest::failedSaveKeepsEarlierSaveDat_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("reason");
    // The file system's own words: the temporary file cannot be made, or
    // cannot be renamed over the immutable one.
    QTest::newRow("read-only folder") << Fault::ReadOnlyFolder << "Read-only file system";
    QTest::newRow("immutable save.dat") << Fault::ImmutableSave << "Operation not permitted";
    QTest::newRow("full disk") << Fault::FullDisk << "No space left on device";
    QTest::newRow("write fails part way")
        << Fault::WriteFailsPartWay << "only 326 of 652 bytes written";
}

void SaveFaultTest::failedSaveKeepsEarlierSaveDat()
{
    QFETCH(Fault, fault);
    QFETCH(QString, reason);
    QTemporaryDir base;
    FaultSite site(fault, base.filePath("world"));
    if (!site.unavailable().isEmpty())
        QSKIP(qPrintable(site.unavailable()));
    writeTestWorld(base.filePath("world"), faultWorld);
    SceneFixture f(base.filePath("world"));
    QVERIFY(f.ready());
    QTest::keyClick(f.scene.get(), Qt::Key_F9);
    const QByteArray earlier = readBytes(site.savePath());
    QCOMPARE(earlier.size(), 652);
    QTest::keyClick(f.scene.get(), Qt::Key_Equal); // the next save would differ

    if (!site.arm())
        QSKIP(qPrintable(site.unavailable().isEmpty() ? "cannot make the fault here"
                                                      : site.unavailable()));
    StderrCapture stderrText;
    QTest::keyClick(f.scene.get(), Qt::Key_F9);
    const QString printed = stderrText.text();
    QVERIFY2(printed.contains("globe: terrain not saved: save.dat: not written (" + reason + ")"),
             qPrintable("stderr: " + printed));
    QCOMPARE(f.warnings(), QStringList("Terrain not saved: save.dat was not written: " + reason +
                                       ". The previous save.dat is unchanged."));
    QCOMPARE(readBytes(site.savePath()), earlier);
    QCOMPARE(strayFiles(base.filePath("world")), QStringList());

    site.clear();
    QTest::keyClick(f.scene.get(), Qt::Key_F9);
    const QByteArray after = readBytes(site.savePath());
    QCOMPARE(f.warnings().size(), 1);
    QCOMPARE(after.size(), earlier.size());
    QVERIFY(after != earlier);
}

// base002.dat may hold more levels than vertices; the loader ignores the
// rest. F9 wrote them all the same, and F10 then refused that save.dat as
// "holds 164 levels, but the world has 162 vertices": saved work that the
// editor would never restore.
void SaveFaultTest::saveOfLongerBaseTableRestores()
{
    QTemporaryDir dir;
    writeTestWorld(dir.path(), faultWorld);
    editIntTable(dir.filePath("base002.dat"), [](QVector<int> &levels) { levels << 7 << 7; });
    SceneFixture f(dir.path());
    QVERIFY(f.ready());
    QTest::keyClick(f.scene.get(), Qt::Key_Equal);
    QTest::keyClick(f.scene.get(), Qt::Key_F9);
    QVector<int> saved;
    QVERIFY(readIntTable(f.path("save.dat"), saved).ok());
    QCOMPARE(saved.size(), 162);
    StderrCapture stderrText;
    QTest::keyClick(f.scene.get(), Qt::Key_F10);
    QCOMPARE(stderrText.text(), QString());
}

void SaveFaultTest::plantedLinksAreReplacedNotFollowed_data()
{
    addPlantedLinkRows();
}

// F9 opened save.dat.partial without O_NOFOLLOW or O_EXCL: through a link a
// world's archive carried there, it overwrote the file the link named, and
// left save.dat a link to it.
void SaveFaultTest::plantedLinksAreReplacedNotFollowed()
{
    QFETCH(PlantedLink, link);
    QTemporaryDir base;
    const QString world = base.filePath("world");
    writeTestWorld(world, faultWorld);
    const QString victim = base.filePath("victim");
    writeBytes(victim, "someone's file\n");
    SceneFixture f(world);
    QVERIFY(f.ready());
    plantLink(link, f.path("save.dat"), victim);
    QTest::keyClick(f.scene.get(), Qt::Key_F9);
    QCOMPARE(f.warnings(), QStringList());
    QCOMPARE(readBytes(victim), QByteArray("someone's file\n"));
    QVERIFY(isPlainFile(f.path("save.dat")));
    QCOMPARE(readBytes(f.path("save.dat")).size(), 652);
}

QTEST_MAIN(SaveFaultTest)
#include "tst_savefaults.moc"
