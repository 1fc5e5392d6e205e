// Editing, saving, restoring and resetting the levels through the real
// window's keys, and what happens when the files behind them are missing,
// damaged or belong to another world.
#include "scenefixture.h"
#include "stderrcapture.h"
#include "terrain/elevation.h"
#include "terrain/triangle.h"
#include "world/tablefile.h"
#include "world/worldtables.h"
#include "worldfiles.h"

#include <QMessageBox>
#include <QTemporaryFile>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

#include <unistd.h>

using FileDamage = std::function<void(const SceneFixture &)>;
Q_DECLARE_METATYPE(FileDamage)

class EditingTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void saveWritesEveryLevel();
    void saveHoldsEditsAndDemo();
    void restoreBringsSavedLevelsBack();
    void resetDropsTheDemoTerrain();
    void loadedLevelsOutOfRangeComeIntoRangeOnEdit();
    void badRestoreKeepsTerrain_data();
    void badRestoreKeepsTerrain();
    void failedRestoreShowsBoxUntilEscape();
    void saveIntoFolderNamedSaveDatKeepsTerrain();
    void rebuildsHoldOneArrayOfLists();
    void closeKeepsUnsavedEditsBesideSave();
};

static QVector<int> shownLevels(const Scene3D &scene)
{
    QVector<int> levels(vertexCount);
    for (int v = 0; v < vertexCount; ++v)
        levels[v] = getVertexLevel(v, SceneAccess::triangles(scene));
    return levels;
}

static void press(Scene3D &scene, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(&scene, key, modifiers);
}

void EditingTest::initTestCase()
{
    SceneFixture probe({1, WorldRecipe::Flat, 1, false});
    if (!probe.ready())
        QSKIP("no GL context can be made here");
}

void EditingTest::saveWritesEveryLevel()
{
    SceneFixture f({3, WorldRecipe::Random, 11, false});
    press(*f.scene, Qt::Key_F9);
    const QByteArray saved = readBytes(f.path("save.dat"));
    QCOMPARE(saved.size(), 4 + 4 * 642);
    QCOMPARE(saved.left(4), QByteArray::fromHex("00000282"));
    QCOMPARE(saved.mid(4), readBytes(f.path("base002.dat")).mid(4));
    press(*f.scene, Qt::Key_F9);
    QCOMPARE(readBytes(f.path("save.dat")), saved);
}

void EditingTest::saveHoldsEditsAndDemo()
{
    SceneFixture f({3, WorldRecipe::Flat, 1, true});
    QCOMPARE(vertexLevels[3], 7); // the demo island
    selectedVertex = 200;
    press(*f.scene, Qt::Key_Equal);
    press(*f.scene, Qt::Key_Equal);
    QCOMPARE(vertexLevels[200], 0); // the table waits for the save
    press(*f.scene, Qt::Key_F9);
    QVector<int> saved;
    QVERIFY(readIntTable(f.path("save.dat"), saved).ok());
    QCOMPARE(saved[200], 2);
    QCOMPARE(saved[3], 7);
    QCOMPARE(saved, shownLevels(*f.scene));
    QCOMPARE(vertexLevels, saved);
}

void EditingTest::restoreBringsSavedLevelsBack()
{
    SceneFixture f({3, WorldRecipe::Random, 2, false});
    selectedVertex = 77;
    press(*f.scene, Qt::Key_Equal);
    press(*f.scene, Qt::Key_F9);
    const QVector<int> saved = shownLevels(*f.scene);
    for (int v : {77, 78, 300}) {
        selectedVertex = v;
        press(*f.scene, Qt::Key_Minus);
        press(*f.scene, Qt::Key_Minus);
    }
    press(*f.scene, Qt::Key_Up);
    press(*f.scene, Qt::Key_A);
    QVERIFY(shownLevels(*f.scene) != saved);

    press(*f.scene, Qt::Key_F10);
    QCOMPARE(shownLevels(*f.scene), saved);
    QCOMPARE(selectedVertex, 300);
    QCOMPARE(SceneAccess::xRot(*f.scene), -89.0f);
    QVERIFY(!SceneAccess::showAxes(*f.scene));
    QCOMPARE(vertexCount, 642);
    QCOMPARE(triangleCount, 1280);
}

void EditingTest::resetDropsTheDemoTerrain()
{
    SceneFixture f({3, WorldRecipe::Random, 3, true});
    QVector<int> base;
    QVERIFY(readIntTable(f.path("base002.dat"), base).ok());
    QVERIFY(shownLevels(*f.scene) != base);
    press(*f.scene, Qt::Key_N); // N alone does nothing
    QVERIFY(shownLevels(*f.scene) != base);
    press(*f.scene, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(shownLevels(*f.scene), base);
    QCOMPARE(vertexLevels, base);
}

void EditingTest::loadedLevelsOutOfRangeComeIntoRangeOnEdit()
{
    QTemporaryDir dir;
    writeTestWorld(dir.path(), {2, WorldRecipe::Flat, 1, false});
    editIntTable(dir.filePath("base002.dat"), [](QVector<int> &levels) {
        levels[0] = 12;
        levels[1] = -3;
    });
    SceneFixture f({2, WorldRecipe::Flat, 1, false});
    QFile::remove(f.path("base002.dat"));
    QFile::copy(dir.filePath("base002.dat"), f.path("base002.dat"));
    press(*f.scene, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(getVertexLevel(0, SceneAccess::triangles(*f.scene)), 12);
    press(*f.scene, Qt::Key_Minus);
    QCOMPARE(getVertexLevel(0, SceneAccess::triangles(*f.scene)), 9);
    press(*f.scene, Qt::Key_Period);
    press(*f.scene, Qt::Key_Equal);
    QCOMPARE(getVertexLevel(1, SceneAccess::triangles(*f.scene)), 0);
}

void EditingTest::badRestoreKeepsTerrain_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<FileDamage>("damage");
    QTest::addColumn<QString>("message");
    const QString notRestored = "globe: terrain not restored: save.dat: ";
    QTest::newRow("save.dat missing") << Qt::Key_F10 << FileDamage([](const SceneFixture &f) {
        QFile::remove(f.path("save.dat"));
    }) << notRestored + "missing (";
    QTest::newRow("save.dat cut short") << Qt::Key_F10 << FileDamage([](const SceneFixture &f) {
        writeBytes(f.path("save.dat"), readBytes(f.path("save.dat")).chopped(5));
    }) << notRestored + "declares 162 elements but holds only 160 (647 bytes)";
    QTest::newRow("save.dat empty") << Qt::Key_F10 << FileDamage([](const SceneFixture &f) {
        writeBytes(f.path("save.dat"), QByteArray());
    }) << notRestored + "0 bytes long";
    QTest::newRow("save.dat of another world")
        << Qt::Key_F10 << FileDamage([](const SceneFixture &f) {
               writeIntTable(f.path("save.dat"), QVector<int>(642, 3));
           })
        << notRestored + "holds 642 levels, but the world has 162 vertices";
    QTest::newRow("save.dat longer by one") << Qt::Key_F10 << FileDamage([](const SceneFixture &f) {
        writeIntTable(f.path("save.dat"), QVector<int>(163, 3));
    }) << notRestored + "holds 163 levels, but the world has 162 vertices";
    // A sparse file's claim of half a billion levels (2 GiB) ended the
    // editor in bad_alloc, with the edits not yet saved.
    QTest::newRow("save.dat a sparse claim of billions")
        << Qt::Key_F10 << FileDamage([](const SceneFixture &f) {
               writeSparseTable(f.path("save.dat"), 536870906);
           })
        << notRestored + "holds 536870906 levels, but the world has 162 vertices";
    // A FIFO froze the editor on F10, with the edits not yet saved.
    QTest::newRow("save.dat a FIFO") << Qt::Key_F10 << FileDamage([](const SceneFixture &f) {
        QFile::remove(f.path("save.dat"));
        ::mkfifo(QFile::encodeName(f.path("save.dat")).constData(), 0600);
    }) << notRestored + "cannot be read (a FIFO, not a regular file)";
    QTest::newRow("base002.dat gone before a reset")
        << Qt::Key_N
        << FileDamage([](const SceneFixture &f) { QFile::remove(f.path("base002.dat")); })
        << "globe: terrain not reset: base002.dat: missing (";
}

void EditingTest::badRestoreKeepsTerrain()
{
    QFETCH(Qt::Key, key);
    QFETCH(FileDamage, damage);
    QFETCH(QString, message);
    SceneFixture f({2, WorldRecipe::Random, 4, false});
    press(*f.scene, Qt::Key_F9);
    press(*f.scene, Qt::Key_Equal);
    const QVector<int> shown = shownLevels(*f.scene);
    const QVector<int> table = vertexLevels;
    const Triangle *array = SceneAccess::triangles(*f.scene);
    damage(f);
    StderrCapture capture;
    press(*f.scene, key, key == Qt::Key_N ? Qt::ControlModifier : Qt::NoModifier);
    const QString said = capture.text();
    QVERIFY2(said.startsWith(message), qPrintable(said));
    QCOMPARE(said.count('\n'), 1);
    QCOMPARE(f.warnings().size(), 1);
    QVERIFY2(f.warnings().first().endsWith(". The terrain on screen is unchanged."),
             qPrintable(f.warnings().first()));
    QCOMPARE(SceneAccess::triangles(*f.scene), array); // nothing was rebuilt
    QCOMPARE(shownLevels(*f.scene), shown);
    QCOMPARE(vertexLevels, table);
}

// Users who start the editor from the menu see no terminal: the box is all
// they learn of a failure, and it must go away with a key.
void EditingTest::failedRestoreShowsBoxUntilEscape()
{
    SceneFixture f({2, WorldRecipe::Random, 4, false});
    Scene3D::setWarningHandler(nullptr);
    const QVector<int> shown = shownLevels(*f.scene);
    QString title, text;
    QWidget *parent = nullptr;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        title = box->windowTitle();
        text = box->text();
        parent = box->parentWidget();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    poll.start(20);
    StderrCapture capture;
    press(*f.scene, Qt::Key_F10); // no save.dat yet
    QCOMPARE(title, QStringLiteral("Terrain not restored — Globe"));
    QVERIFY2(text.startsWith("Nothing was restored: save.dat: missing (") &&
                 text.endsWith("). The terrain on screen is unchanged."),
             qPrintable(text));
    QCOMPARE(parent, f.scene.get());
    QCOMPARE(shownLevels(*f.scene), shown);
}

void EditingTest::saveIntoFolderNamedSaveDatKeepsTerrain()
{
    SceneFixture f({2, WorldRecipe::Random, 4, false});
    QVERIFY(QDir(f.path(".")).mkdir("save.dat"));
    press(*f.scene, Qt::Key_Equal);
    const QVector<int> shown = shownLevels(*f.scene);
    StderrCapture capture;
    press(*f.scene, Qt::Key_F9);
    const QString said = capture.text();
    QVERIFY2(said.startsWith("globe: terrain not saved: save.dat: not written ("),
             qPrintable(said));
    QVERIFY(QFileInfo(f.path("save.dat")).isDir());
    QCOMPARE(shownLevels(*f.scene), shown);
}

void EditingTest::rebuildsHoldOneArrayOfLists()
{
    SceneFixture f({2, WorldRecipe::Random, 4, false});
    press(*f.scene, Qt::Key_F9);
    for (int k = 0; k < 200; ++k) {
        press(*f.scene, k % 2 ? Qt::Key_N : Qt::Key_F10, Qt::ControlModifier);
        // Edits on Mesa delete each list before they record it again.
        selectedVertex = (37 * k) % vertexCount;
        press(*f.scene, k % 3 ? Qt::Key_Equal : Qt::Key_Minus);
    }
    f.scene->makeCurrent();
    // GL may hand out ever higher names; what matters is how many are held.
    const GLuint end = Triangle::getListBase() + GLuint(2 * triangleCount);
    int inUse = 0;
    for (GLuint name = 1; name < end; ++name)
        inUse += glIsList(name) == GL_TRUE;
    QCOMPARE(inUse, triangleCount);
}

QTEST_MAIN(EditingTest)
#include "tst_editing.moc"

// Closing the window once lost every edit since the last F9, without a
// word: they go to a file of their own (save.dat untouched), named on
// stderr with the way back; a close with nothing unsaved writes nothing.
void EditingTest::closeKeepsUnsavedEditsBesideSave()
{
    SceneFixture f({3, WorldRecipe::Random, 5, false});
    const QString recovered = f.path("save.dat.recovered");
    {
        StderrCapture err;
        f.scene->close();
        QVERIFY(err.text().isEmpty());
    }
    QVERIFY(!QFile::exists(recovered));
    f.scene->show();
    selectedVertex = 40;
    press(*f.scene, Qt::Key_Equal);
    press(*f.scene, Qt::Key_F9);
    const QByteArray saved = readBytes(f.path("save.dat"));
    press(*f.scene, Qt::Key_Equal);
    const QVector<int> shown = shownLevels(*f.scene);
    StderrCapture err;
    f.scene->close();
    const QString line = err.text();
    QCOMPARE(line.count('\n'), 1);
    QVERIFY2(line.contains("cp save.dat.recovered save.dat and press F10"), qPrintable(line));
    QVERIFY(line.contains("--levels save.dat.recovered"));
    QVector<int> kept;
    QVERIFY(readIntTable(recovered, kept).ok());
    QCOMPARE(kept, shown);
    QCOMPARE(readBytes(f.path("save.dat")), saved);
}
