// The real window on a generated world, driven by a seeded random stream of
// keys, clicks, drags, wheel steps and resizes, with save.dat removed, cut or
// swapped for another world's between saves, restores and resets.
//
// After every event: no GL error; every level the triangles hold is 0..9 and
// all triangles at a vertex hold the same one; the selection is a vertex; a
// save wrote exactly the levels on screen; a restore or reset gave exactly
// what its file held, or changed nothing when the file was bad. At the end:
// no more display lists than one array's worth, and RSS flat from the first
// thousand events to the last.
//
// SOAK_EVENTS (default 1000) and SOAK_SEED (default 1) choose the stream; the
// seed is printed first, and a failure names the seed and the event.
// llvmpipe runs without rasterizer threads unless LP_NUM_THREADS says otherwise.
#include "scenefixture.h"
#include "terrain/triangle.h"
#include "world/tablefile.h"
#include "world/worldtables.h"
#include "worldfiles.h"

#include <QtTest>

#include <unistd.h>

#include <random>

namespace {

struct KeyStroke
{
    int key;
    Qt::KeyboardModifiers modifiers;
};

const Qt::KeyboardModifiers none = Qt::NoModifier, ctrl = Qt::ControlModifier,
                            keypad = Qt::KeypadModifier;

// The key table, W and N without Ctrl, and keypad versions.
const KeyStroke tableKeys[] = {
    {Qt::Key_Up, none},       {Qt::Key_Down, none},    {Qt::Key_Left, none},
    {Qt::Key_Right, none},    {Qt::Key_X, none},       {Qt::Key_Z, none},
    {Qt::Key_Space, none},    {Qt::Key_A, none},       {Qt::Key_S, none},
    {Qt::Key_W, ctrl},        {Qt::Key_W, none},       {Qt::Key_Equal, none},
    {Qt::Key_Minus, none},    {Qt::Key_Period, none},  {Qt::Key_Comma, none},
    {Qt::Key_F9, none},       {Qt::Key_F10, none},     {Qt::Key_N, ctrl},
    {Qt::Key_N, none},        {Qt::Key_Up, keypad},    {Qt::Key_Down, keypad},
    {Qt::Key_Left, keypad},   {Qt::Key_Right, keypad}, {Qt::Key_Minus, keypad},
    {Qt::Key_Period, keypad}, {Qt::Key_Comma, keypad}, {Qt::Key_Equal, keypad},
    {Qt::Key_Plus, keypad},   {Qt::Key_Enter, keypad}, {Qt::Key_Space, keypad},
};

const Qt::KeyboardModifier anyModifiers[] = {Qt::ShiftModifier, Qt::ControlModifier,
                                             Qt::AltModifier, Qt::MetaModifier, Qt::KeypadModifier};

const WorldRecipe soakWorld{4, WorldRecipe::Random, 1, true};

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

int envOr(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

// The level of each vertex as the triangles hold it; *problem names the first
// level outside 0..9 or the first vertex the triangles disagree on.
QVector<int> levelsHeld(const Scene3D &scene, QString *problem)
{
    QVector<int> held(vertexCount, -1);
    const Triangle *triangles = SceneAccess::triangles(scene);
    for (int t = 0; t < triangleCount && problem->isEmpty(); ++t) {
        const Triangle &tri = triangles[t];
        const int corners[3][2] = {{tri.getVertexA(), tri.getLevelA()},
                                   {tri.getVertexB(), tri.getLevelB()},
                                   {tri.getVertexC(), tri.getLevelC()}};
        for (const auto &corner : corners) {
            const int v = corner[0], level = corner[1];
            if (level < 0 || level > 9 || (held[v] >= 0 && held[v] != level))
                *problem = QStringLiteral("triangle %1 holds level %2 for vertex %3, elsewhere %4")
                               .arg(t)
                               .arg(level)
                               .arg(v)
                               .arg(held[v]);
            held[v] = level;
        }
    }
    return held;
}

QString frameProblem(Scene3D &scene)
{
    scene.makeCurrent();
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR)
        return QStringLiteral("GL error 0x%1").arg(error, 0, 16);
    if (selectedVertex < 0 || selectedVertex >= vertexCount)
        return QStringLiteral("selected vertex %1 of %2").arg(selectedVertex).arg(vertexCount);
    QString problem;
    levelsHeld(scene, &problem);
    return problem;
}

int listNamesInUse(Scene3D &scene, GLuint upTo)
{
    scene.makeCurrent();
    int used = 0;
    for (GLuint name = 1; name <= upTo; ++name)
        used += glIsList(name) == GL_TRUE;
    return used;
}

class Soak
{
public:
    Soak(SceneFixture &fixture, quint32 seed) : fixture(fixture), random(seed)
    {
        baseLevels = generateWorld(soakWorld).levels;
        WorldRecipe other = soakWorld;
        other.seed += 1;
        sameSizeSave = encodeIntTable(generateWorld(other).levels);
        other.subdivision -= 1;
        smallerSave = encodeIntTable(generateWorld(other).levels);
    }

    // Sends one random event and returns what it was.
    QString step()
    {
        const int roll = below(100);
        if (roll < 45)
            return key(tableKeys[below(int(std::size(tableKeys)))]);
        if (roll < 53)
            return key(otherKey());
        if (roll < 61)
            return click();
        if (roll < 69)
            return drag();
        if (roll < 89)
            return wheel();
        if (roll < 94)
            return resize();
        return spoilSave();
    }

    // What the last event broke, if anything.
    QString problem()
    {
        QString found = frameProblem(*fixture.scene);
        if (found.isEmpty() && !mustHold.isEmpty() && heldNow() != mustHold)
            found = QStringLiteral("the terrain is not what the last key must have left");
        if (found.isEmpty() && savedNow && readBytes(savePath()) != encodeIntTable(heldNow()))
            found = QStringLiteral("save.dat does not hold the levels on screen");
        return found;
    }

    int restoresAccepted = 0, restoresRefused = 0;

private:
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    QString savePath() const { return fixture.path("save.dat"); }
    Scene3D &scene() { return *fixture.scene; }

    QVector<int> heldNow()
    {
        QString ignored;
        return levelsHeld(scene(), &ignored);
    }

    KeyStroke otherKey()
    {
        const int key = below(2) ? 0x20 + below(0x5F) : 0x01000000 + below(0x60);
        Qt::KeyboardModifiers modifiers;
        for (Qt::KeyboardModifier m : anyModifiers)
            modifiers |= below(4) == 0 ? m : Qt::NoModifier;
        return {key, modifiers};
    }

    // F9, F10 and Ctrl+N set what the terrain and save.dat must be after it.
    QString key(KeyStroke k)
    {
        const bool save = k.key == Qt::Key_F9, restore = k.key == Qt::Key_F10;
        const bool reset = k.key == Qt::Key_N && k.modifiers.testFlag(Qt::ControlModifier);
        const QVector<int> &file = restore ? saveLevels : baseLevels;
        mustHold = restore || reset ? (file.isEmpty() ? heldNow() : file) : QVector<int>();
        restoresAccepted += restore && !file.isEmpty();
        restoresRefused += restore && file.isEmpty();
        press(k);
        savedNow = save;
        if (save)
            saveLevels = heldNow();
        return QStringLiteral("key 0x%1 modifiers 0x%2").arg(k.key, 0, 16).arg(k.modifiers, 0, 16);
    }

    // Sent directly: QTest::keyClick refuses key codes it has no text for.
    void press(KeyStroke k)
    {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, k.key, k.modifiers);
            QCoreApplication::sendEvent(&scene(), &event);
        }
    }

    QPoint anywhere()
    {
        return QPoint(below(scene().width() + 40) - 20, below(scene().height() + 40) - 20);
    }

    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button)
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
        QMouseEvent event(type, pos, scene().mapToGlobal(pos), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(&scene(), &event);
    }

    Qt::MouseButton button()
    {
        const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
        return buttons[below(3)];
    }

    QString click()
    {
        const QPoint at = anywhere();
        const Qt::MouseButton b = button();
        mouse(QEvent::MouseButtonPress, at, b);
        mouse(QEvent::MouseButtonRelease, at, b);
        clearExpectations();
        return QStringLiteral("click at (%1, %2)").arg(at.x()).arg(at.y());
    }

    QString drag()
    {
        const Qt::MouseButton b = button();
        QPoint at = anywhere();
        mouse(QEvent::MouseButtonPress, at, b);
        for (int moves = 1 + below(5); moves > 0; --moves) {
            at = anywhere();
            mouse(QEvent::MouseMove, at, b);
        }
        mouse(QEvent::MouseButtonRelease, at, b);
        clearExpectations();
        return QStringLiteral("drag to (%1, %2)").arg(at.x()).arg(at.y());
    }

    QString wheel()
    {
        const int steps[] = {0, 15, -15, 120, -120, 240, -360};
        const int delta = steps[below(int(std::size(steps)))];
        const QPoint angle = below(4) == 0 ? QPoint(delta, 0) : QPoint(0, delta);
        const QPoint at = anywhere();
        QWheelEvent event(at, scene().mapToGlobal(at), QPoint(), angle, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&scene(), &event);
        clearExpectations();
        return QStringLiteral("wheel (%1, %2)").arg(angle.x()).arg(angle.y());
    }

    QString resize()
    {
        const bool tiny = below(10) == 0;
        const QSize size =
            tiny ? QSize(1 + below(20), 1 + below(20)) : QSize(100 + below(800), 100 + below(800));
        scene().resize(size);
        QCoreApplication::processEvents();
        scene().updateGL();
        clearExpectations();
        return QStringLiteral("resize to %1x%2").arg(size.width()).arg(size.height());
    }

    QString spoilSave()
    {
        clearExpectations();
        const QString path = savePath();
        switch (below(4)) {
        case 0:
            QFile::remove(path);
            saveLevels.clear();
            return QStringLiteral("save.dat removed");
        case 1:
            if (!QFile::exists(path))
                return QStringLiteral("save.dat missing, not cut");
            replaceSave(readBytes(path).left(below(4 + 4 * vertexCount)));
            return QStringLiteral("save.dat cut to %1 bytes").arg(QFileInfo(path).size());
        case 2:
            replaceSave(sameSizeSave);
            return QStringLiteral("save.dat from another world of the same size");
        default:
            replaceSave(smallerSave);
            return QStringLiteral("save.dat from a smaller world");
        }
    }

    // A restore takes a file only when it is a complete table of one level per vertex.
    void replaceSave(const QByteArray &bytes)
    {
        writeBytes(savePath(), bytes);
        const bool complete = decodeIntTable("save.dat", bytes, saveLevels).ok();
        if (!complete || saveLevels.size() != vertexCount)
            saveLevels.clear();
    }

    void clearExpectations()
    {
        mustHold.clear();
        savedNow = false;
    }

    SceneFixture &fixture;
    std::mt19937 random;
    QVector<int> baseLevels;
    QByteArray sameSizeSave, smallerSave;
    QVector<int> saveLevels; // what a restore must give; empty when it must refuse
    QVector<int> mustHold;   // after F10 or Ctrl+N: the levels on screen
    bool savedNow = false;   // after F9: save.dat must hold the levels on screen
};

} // namespace

class SoakTest : public QObject
{
    Q_OBJECT

private slots:
    void randomEventsKeepFramesSound();
};

void SoakTest::randomEventsKeepFramesSound()
{
    const int events = envOr("SOAK_EVENTS", 1000);
    const quint32 seed = quint32(envOr("SOAK_SEED", 1));
    std::printf("soak: seed %u, %d events\n", seed, events);
    std::fflush(stdout);
    SceneFixture fixture(soakWorld);
    if (!fixture.ready())
        QSKIP("no GL context can be made here");
    Soak soak(fixture, seed);
    // RSS is compared at its peak within the first and within the last
    // thousand events (a quarter of a shorter run each).
    const int window = qMin(1000, qMax(1, events / 4));
    qint64 firstRss = 0, lastRss = 0;
    for (int i = 0; i < events; ++i) {
        const QString event = soak.step();
        QCoreApplication::processEvents();
        const QString problem = soak.problem();
        if (!problem.isEmpty())
            QFAIL(qPrintable(
                QStringLiteral("seed %1, event %2 (%3): %4").arg(seed).arg(i).arg(event, problem)));
        qint64 &peak = i < window ? firstRss : lastRss;
        peak = i < window || i >= events - window ? qMax(peak, residentBytes()) : peak;
    }
    // Mesa never hands out a name twice in a row: every rebuild's block lies
    // above the last, so the scan reaches well past the current one.
    const GLuint highest = Triangle::getListBase() + GLuint(triangleCount);
    const int lists = listNamesInUse(*fixture.scene, 2 * highest + 100000);
    const double growth = 100.0 * double(lastRss - firstRss) / double(firstRss);
    std::printf("soak: seed %u: %d events; restores accepted %d, refused %d; peak RSS in the "
                "first %d events %.1f MiB, in the last %d %.1f MiB (%+.1f%%); display list "
                "names in use %d of 1..%u, triangles %d\n",
                seed, events, soak.restoresAccepted, soak.restoresRefused, window,
                firstRss / 1048576.0, window, lastRss / 1048576.0, growth, lists,
                2 * highest + 100000, triangleCount);
    QVERIFY2(lists <= triangleCount, qPrintable(QString::number(lists)));
    QVERIFY2(growth < 10.0, qPrintable(QString("seed %1: RSS grew %2%").arg(seed).arg(growth)));
}

int main(int argc, char *argv[])
{
    // llvmpipe's rasterizer threads hold memory of their own that rises in
    // steps of tens of MB even when the window only repaints; with them off,
    // every kind of event here is flat, so RSS then measures this program.
    // Set before the first GL context, which reads it once.
    if (!qEnvironmentVariableIsSet("LP_NUM_THREADS"))
        qputenv("LP_NUM_THREADS", "0");
    QApplication app(argc, argv);
    SoakTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_soak.moc"
