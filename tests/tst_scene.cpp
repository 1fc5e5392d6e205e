// The real window on generated worlds: what the first frames show, and what
// every key, wheel, drag and click does to the view and the selection.
// Expected window positions come from the test's own projection.
#include "scenefixture.h"
#include "terrain/elevation.h"
#include "terrain/triangle.h"
#include "world/worldtables.h"
#include "worldfiles.h"

#include <QProcess>
#include <QtTest>

#include <cmath>

namespace {
bool failNextReservation = false;
QStringList fatalProblems;
} // namespace

// glGenLists is wrapped at link time, so a test can make it fail.
extern "C" {
GLuint __real_glGenLists(GLsizei range);
GLuint __wrap_glGenLists(GLsizei range)
{
    const bool fail = std::exchange(failNextReservation, false);
    return fail ? 0 : __real_glGenLists(range);
}
}

struct KeyStroke
{
    int key;
    Qt::KeyboardModifiers modifiers;
};
Q_DECLARE_METATYPE(QVector<KeyStroke>)

// Everything the input handlers may change, compared as a whole so that a
// key that does one thing is also seen to do nothing else.
struct ViewState
{
    float xRot = -90, yRot = 0, zRot = 0, yShift = 0, zoom = 1;
    bool axes = true, marker = true, wheelZooms = true;
    int selected = 0, level = 0;

    bool operator==(const ViewState &o) const
    {
        return xRot == o.xRot && yRot == o.yRot && zRot == o.zRot && yShift == o.yShift &&
               zoom == o.zoom && axes == o.axes && marker == o.marker &&
               wheelZooms == o.wheelZooms && selected == o.selected && level == o.level;
    }
};
Q_DECLARE_METATYPE(ViewState)

namespace QTest {
template <> char *toString(const ViewState &s)
{
    return qstrdup(qPrintable(QString("rot (%1, %2, %3) shift %4 zoom %5 axes %6 marker %7 "
                                      "wheel %8 selected %9 level %10")
                                  .arg(s.xRot)
                                  .arg(s.yRot)
                                  .arg(s.zRot)
                                  .arg(s.yShift)
                                  .arg(s.zoom, 0, 'g', 9)
                                  .arg(s.axes)
                                  .arg(s.marker)
                                  .arg(s.wheelZooms)
                                  .arg(s.selected)
                                  .arg(s.level)));
}
} // namespace QTest

static ViewState stateOf(const Scene3D &s)
{
    ViewState v;
    v.xRot = SceneAccess::xRot(s);
    v.yRot = SceneAccess::yRot(s);
    v.zRot = SceneAccess::zRot(s);
    v.yShift = SceneAccess::yShift(s);
    v.zoom = SceneAccess::zoom(s);
    v.axes = SceneAccess::showAxes(s);
    v.marker = SceneAccess::showMarker(s);
    v.wheelZooms = SceneAccess::wheelZooms(s);
    v.selected = selectedVertex;
    v.level = getVertexLevel(selectedVertex, SceneAccess::triangles(s));
    return v;
}

static void sendMouse(Scene3D &scene, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, scene.mapToGlobal(pos), Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&scene, &event);
}

static void click(Scene3D &scene, QPoint pos)
{
    sendMouse(scene, QEvent::MouseButtonPress, pos);
    sendMouse(scene, QEvent::MouseButtonRelease, pos);
}

static void drag(Scene3D &scene, QPoint from, QPoint to)
{
    sendMouse(scene, QEvent::MouseButtonPress, from);
    sendMouse(scene, QEvent::MouseMove, to);
    sendMouse(scene, QEvent::MouseButtonRelease, to);
}

static void wheel(Scene3D &scene, QPoint angle)
{
    const QPointF pos(250, 250);
    QWheelEvent event(pos, scene.mapToGlobal(pos.toPoint()), QPoint(), angle, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&scene, &event);
}

static QColor levelColour(int level)
{
    float r, g, b;
    Triangle::levelColor(level, r, g, b);
    return QColor::fromRgbF(r, g, b);
}

static bool near(QColor a, QColor b, int tolerance = 3)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

static int countPixels(const QImage &image, QColor colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += QColor(image.pixel(x, y)) == colour;
    return count;
}

class SceneTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void viewportAndAspect_data();
    void viewportAndAspect();
    void firstFrame();
    void secondWindowDrawsTheSamePicture();
    void globeShowsLevelColours();
    void markerAndAxesFollowTheirSwitches();
    void keyTable_data();
    void keyTable();
    void wheel_data();
    void wheel();
    void dragTurnsByZoomedAngle();
    void oneMoveCancelsThePick();
    void clickSelectsVertexUnderCursor_data();
    void clickSelectsVertexUnderCursor();
    void clickOnBackgroundKeepsSelection();
    void clickOnAStripOfATallWindowHitsNothing();
    void refusedWorldEndsWithStatus2();
    void noListsForTheTrianglesIsFatal();
    void unusableGLIsFatal();

private:
    QImage frame(Scene3D &scene);
    QVector<int> frontVertices(const SceneFixture &fixture, int wanted);
};

void SceneTest::initTestCase()
{
    SceneFixture probe({2, WorldRecipe::Flat, 1, false});
    if (!probe.ready())
        QSKIP("no GL context can be made here");
}

QImage SceneTest::frame(Scene3D &scene)
{
    scene.updateGL();
    return scene.grabFrameBuffer();
}

void SceneTest::viewportAndAspect_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QVector<int>>("viewport");
    QTest::addColumn<float>("aspect");
    QTest::newRow("square") << QSize(500, 500) << QVector<int>{0, 0, 500, 500} << 1.0f;
    QTest::newRow("taller than wide") << QSize(500, 700) << QVector<int>{0, 100, 500, 500} << 1.4f;
    QTest::newRow("wider than tall")
        << QSize(700, 500) << QVector<int>{0, -100, 700, 700} << 500.0f / 700.0f;
}

void SceneTest::viewportAndAspect()
{
    QFETCH(QSize, size);
    QFETCH(QVector<int>, viewport);
    QFETCH(float, aspect);
    SceneFixture f({3, WorldRecipe::Flat, 1, false}, size.width(), size.height());
    QCOMPARE(f.scene->size(), size);
    const QImage image = frame(*f.scene);
    f.scene->makeCurrent();
    GLint got[4];
    glGetIntegerv(GL_VIEWPORT, got);
    QCOMPARE(QVector<int>(got, got + 4), viewport);
    QCOMPARE(SceneAccess::aspect(*f.scene), aspect);
    if (size.height() > size.width()) {
        // The enlarged globe is cut at the square; the strips stay white.
        const QImage above = image.copy(150, 90, 200, 10), below = image.copy(150, 600, 200, 10);
        const QImage inside = image.copy(150, 100, 200, 10);
        QCOMPARE(countPixels(above, Qt::white) + countPixels(below, Qt::white), 2 * 200 * 10);
        QCOMPARE(countPixels(inside, Qt::white), 0);
    }
}

void SceneTest::firstFrame()
{
    SceneFixture f({4, WorldRecipe::Random, 1, true});
    QImage image = frame(*f.scene);
    for (QPoint corner : {QPoint(2, 2), QPoint(497, 2), QPoint(2, 497), QPoint(497, 497)})
        QCOMPARE(QColor(image.pixel(corner)), QColor(Qt::white));
    // The Z axis sticks out of the pole, the X axis out of the sides: both
    // blue, one pixel wide on the centre lines.
    const QColor blue(Qt::blue), red(Qt::red);
    QCOMPARE(countPixels(image.copy(249, 5, 2, 10), blue), 10);
    QCOMPARE(countPixels(image.copy(5, 249, 10, 2), blue), 10);
    QCOMPARE(countPixels(image.copy(485, 249, 10, 2), blue), 10);
    // Turned a quarter about the pole, the red Y axis lies where X was.
    SceneAccess::setRotation(*f.scene, -90, 90);
    image = frame(*f.scene);
    QCOMPARE(countPixels(image.copy(5, 249, 10, 2), red), 10);
    QCOMPARE(countPixels(image.copy(485, 249, 10, 2), red), 10);
}

// A window's destructor frees its array and lists, and the next window of
// the process builds its own from row 0: the same world, the same picture.
void SceneTest::secondWindowDrawsTheSamePicture()
{
    const WorldRecipe recipe{3, WorldRecipe::Random, 2, false};
    QImage first;
    {
        SceneFixture f(recipe);
        first = frame(*f.scene);
    }
    SceneFixture f(recipe);
    QCOMPARE(frame(*f.scene), first);
}

QVector<int> SceneTest::frontVertices(const SceneFixture &fixture, int wanted)
{
    QVector<int> facing;
    for (int v = 1; v < vertexCount; ++v) {
        const QVector3D p = vertexPosition(*fixture.scene, v);
        if (fixture.project(p.normalized()).z() > 0.5f * SceneAccess::zoom(*fixture.scene))
            facing << v;
    }
    QVector<int> out;
    for (int k = 0; k < wanted && k < facing.size(); ++k)
        out << facing[k * facing.size() / wanted];
    return out;
}

void SceneTest::globeShowsLevelColours()
{
    SceneFixture f({3, WorldRecipe::Random, 5, false});
    const QImage image = frame(*f.scene);
    const Triangle *triangles = SceneAccess::triangles(*f.scene);
    int checked = 0;
    for (int t = 0; t < triangleCount; ++t) {
        const Triangle &tri = triangles[t];
        if (tri.getLevelA() != tri.getLevelB() || tri.getLevelA() != tri.getLevelC())
            continue;
        const QVector3D centre = (QVector3D(tri.getAx(), tri.getAy(), tri.getAz()) +
                                  QVector3D(tri.getBx(), tri.getBy(), tri.getBz()) +
                                  QVector3D(tri.getCx(), tri.getCy(), tri.getCz())) /
                                 3;
        const QVector3D at = f.project(centre);
        if (f.project(centre.normalized()).z() < 0.5f || at.y() < 60) // away from the marker
            continue;
        const QColor seen = image.pixel(qRound(at.x()), qRound(at.y()));
        QVERIFY2(near(seen, levelColour(tri.getLevelA())),
                 qPrintable(QString("triangle %1 at level %2 shows %3")
                                .arg(t)
                                .arg(tri.getLevelA())
                                .arg(seen.name())));
        ++checked;
    }
    QVERIFY(checked > 20);
}

static int magentaAround(const QImage &image, QVector3D at)
{
    return countPixels(image.copy(int(at.x()) - 4, int(at.y()) - 4, 9, 9), QColor(255, 0, 255));
}

void SceneTest::markerAndAxesFollowTheirSwitches()
{
    // On a flat world the dot on the pole sticks out of the top of the globe.
    SceneFixture f({4, WorldRecipe::Flat, 1, false});
    QImage image = frame(*f.scene);
    QVERIFY(magentaAround(image, f.project(vertexPosition(*f.scene, 0))) > 0);
    QVERIFY(countPixels(image, QColor(Qt::red)) > 10); // the ring

    QTest::keyClick(f.scene.get(), Qt::Key_S);
    QTest::keyClick(f.scene.get(), Qt::Key_A);
    image = f.scene->grabFrameBuffer();
    QCOMPARE(countPixels(image, QColor(255, 0, 255)), 0);
    QCOMPARE(countPixels(image, QColor(Qt::red)), 0);
    QCOMPARE(countPixels(image, QColor(Qt::blue)), 0);

    // Facing the viewer, the marker of another vertex shows when switched on.
    SceneAccess::setRotation(*f.scene, 0, 0);
    QTest::keyClick(f.scene.get(), Qt::Key_Period);
    QTest::keyClick(f.scene.get(), Qt::Key_S);
    image = f.scene->grabFrameBuffer();
    QVERIFY(magentaAround(image, f.project(vertexPosition(*f.scene, 1))) > 0);
    QCOMPARE(countPixels(image, QColor(Qt::blue)), 0);
}

void SceneTest::keyTable_data()
{
    QTest::addColumn<int>("startVertex"); // -1: the last vertex
    QTest::addColumn<QVector<KeyStroke>>("keys");
    QTest::addColumn<ViewState>("expected");

    const Qt::KeyboardModifiers none = Qt::NoModifier, ctrl = Qt::ControlModifier;
    ViewState home; // vertex 0 of the demo island has level 4
    home.level = 4;
    auto row = [&](const char *name, QVector<KeyStroke> keys, auto change, int start = 0) {
        ViewState expected = home;
        change(expected);
        QTest::newRow(name) << start << keys << expected;
    };
    row("Up turns about X", {{Qt::Key_Up, none}}, [](ViewState &s) { s.xRot = -89; });
    row("Down", {{Qt::Key_Down, none}}, [](ViewState &s) { s.xRot = -91; });
    row("Left turns about Z", {{Qt::Key_Left, none}}, [](ViewState &s) { s.zRot = 1; });
    row("Right", {{Qt::Key_Right, none}}, [](ViewState &s) { s.zRot = -1; });
    row("X moves up", {{Qt::Key_X, none}}, [](ViewState &s) { s.yShift = 0.05f; });
    row("Shift+Z moves down", {{Qt::Key_Z, Qt::ShiftModifier}},
        [](ViewState &s) { s.yShift = -0.05f; });
    row("Space goes home but keeps the shift",
        {{Qt::Key_Up, none}, {Qt::Key_Left, none}, {Qt::Key_X, none}, {Qt::Key_Space, none}},
        [](ViewState &s) { s.yShift = 0.05f; });
    row("A hides the axes", {{Qt::Key_A, none}}, [](ViewState &s) { s.axes = false; });
    row("Ctrl+A acts as A", {{Qt::Key_A, ctrl}}, [](ViewState &s) { s.axes = false; });
    row("A twice shows them again", {{Qt::Key_A, none}, {Qt::Key_A, none}}, [](ViewState &) {});
    row("S hides the marker", {{Qt::Key_S, none}}, [](ViewState &s) { s.marker = false; });
    row("W alone does nothing", {{Qt::Key_W, none}}, [](ViewState &) {});
    row("Ctrl+W makes the wheel edit", {{Qt::Key_W, ctrl}},
        [](ViewState &s) { s.wheelZooms = false; });
    row("Ctrl+Shift+W too", {{Qt::Key_W, ctrl | Qt::ShiftModifier}},
        [](ViewState &s) { s.wheelZooms = false; });
    row("Ctrl+W twice zooms again", {{Qt::Key_W, ctrl}, {Qt::Key_W, ctrl}}, [](ViewState &) {});
    row("N alone does nothing", {{Qt::Key_N, none}}, [](ViewState &) {});
    row("= raises", {{Qt::Key_Equal, none}}, [](ViewState &s) { s.level = 5; });
    row("+ does nothing", {{Qt::Key_Plus, Qt::ShiftModifier}}, [](ViewState &) {});
    row("- lowers", {{Qt::Key_Minus, none}}, [](ViewState &s) { s.level = 3; });
    row("keypad - lowers", {{Qt::Key_Minus, Qt::KeypadModifier}},
        [](ViewState &s) { s.level = 3; });
    row("period steps on", {{Qt::Key_Period, none}, {Qt::Key_Period, Qt::KeypadModifier}},
        [](ViewState &s) {
            s.selected = 2;
            s.level = 4;
        });
    row("comma at 0 stays", {{Qt::Key_Comma, none}}, [](ViewState &) {});
    row(
        "comma steps back", {{Qt::Key_Comma, none}},
        [](ViewState &s) {
            s.selected = 3;
            s.level = 7;
        },
        4);
    row(
        "period at the last vertex stays", {{Qt::Key_Period, none}},
        [](ViewState &s) { s.selected = -1; }, -1);
    row("an unbound key does nothing", {{Qt::Key_Q, none}, {Qt::Key_F1, none}}, [](ViewState &) {});
}

void SceneTest::keyTable()
{
    QFETCH(int, startVertex);
    QFETCH(QVector<KeyStroke>, keys);
    QFETCH(ViewState, expected);
    SceneFixture f({4, WorldRecipe::Flat, 1, true});
    const int last = vertexCount - 1;
    selectedVertex = startVertex < 0 ? last : startVertex;
    if (expected.selected < 0) {
        expected.selected = last;
        expected.level = getVertexLevel(last, SceneAccess::triangles(*f.scene));
    }
    for (const KeyStroke &k : keys)
        QTest::keyClick(f.scene.get(), Qt::Key(k.key), k.modifiers);
    QCOMPARE(stateOf(*f.scene), expected);
}

void SceneTest::wheel_data()
{
    QTest::addColumn<bool>("editMode");
    QTest::addColumn<QPoint>("angle");
    QTest::addColumn<float>("zoom");
    QTest::addColumn<int>("level");
    QTest::newRow("no delta, no change") << false << QPoint(0, 0) << 1.0f << 4;
    QTest::newRow("two notches at once zoom once") << false << QPoint(0, 240) << 1.1f << 4;
    QTest::newRow("toward the user zooms out")
        << false << QPoint(0, -120) << float(1.0f / 1.1) << 4;
    QTest::newRow("horizontal wheel acts the same") << false << QPoint(120, 0) << 1.1f << 4;
    QTest::newRow("edit mode raises") << true << QPoint(0, 120) << 1.0f << 5;
    QTest::newRow("edit mode lowers") << true << QPoint(0, -360) << 1.0f << 3;
    QTest::newRow("edit mode, no delta") << true << QPoint(0, 0) << 1.0f << 4;
}

void SceneTest::wheel()
{
    QFETCH(bool, editMode);
    QFETCH(QPoint, angle);
    QFETCH(float, zoom);
    QFETCH(int, level);
    SceneFixture f({3, WorldRecipe::Flat, 1, true});
    if (editMode)
        QTest::keyClick(f.scene.get(), Qt::Key_W, Qt::ControlModifier);
    ::wheel(*f.scene, angle);
    QCOMPARE(SceneAccess::zoom(*f.scene), zoom);
    QCOMPARE(getVertexLevel(0, SceneAccess::triangles(*f.scene)), level);
}

void SceneTest::dragTurnsByZoomedAngle()
{
    SceneFixture f({2, WorldRecipe::Flat, 1, false});
    SceneAccess::setZoom(*f.scene, 2.0f);
    drag(*f.scene, QPoint(100, 100), QPoint(100, 350));
    QCOMPARE(SceneAccess::xRot(*f.scene), -45.0f);
    drag(*f.scene, QPoint(400, 300), QPoint(275, 300));
    QCOMPARE(SceneAccess::zRot(*f.scene), -22.5f);
    QCOMPARE(SceneAccess::xRot(*f.scene), -45.0f);
}

void SceneTest::oneMoveCancelsThePick()
{
    SceneFixture f({2, WorldRecipe::Flat, 1, false});
    const QVector<int> targets = frontVertices(f, 1);
    QVERIFY(!targets.isEmpty());
    const QVector3D at = f.project(vertexPosition(*f.scene, targets[0]));
    const QPoint pos(qRound(at.x()), qRound(at.y()));
    drag(*f.scene, pos, pos + QPoint(0, 1));
    QCOMPARE(selectedVertex, 0);
    QVERIFY(SceneAccess::xRot(*f.scene) > -90.0f);
}

void SceneTest::clickSelectsVertexUnderCursor_data()
{
    QTest::addColumn<int>("turns");   // Left presses before the clicks
    QTest::addColumn<int>("notches"); // wheel zoom-ins before the clicks
    QTest::newRow("start view") << 0 << 0;
    QTest::newRow("after a turn and a zoom") << 37 << 3;
    QTest::newRow("zoomed out") << 0 << -2;
}

void SceneTest::clickSelectsVertexUnderCursor()
{
    QFETCH(int, turns);
    QFETCH(int, notches);
    SceneFixture f({2, WorldRecipe::Random, 3, false});
    // tests/CMakeLists.txt runs this again at QT_SCALE_FACTOR=2, where the
    // clicks' logical pixels are half the viewport's.
    QCOMPARE(f.scene->devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
    for (int k = 0; k < turns; ++k)
        QTest::keyClick(f.scene.get(), Qt::Key_Left);
    for (int k = 0; k < qAbs(notches); ++k)
        ::wheel(*f.scene, QPoint(0, notches > 0 ? 120 : -120));
    const QVector<int> targets = frontVertices(f, 8);
    QVERIFY(targets.size() >= 4);
    const Triangle *triangles = SceneAccess::triangles(*f.scene);
    for (int v : targets) {
        // Aim a quarter of the way from the vertex to the centre of one of its
        // triangles: inside that triangle, nearest to the vertex.
        const Triangle &t = triangles[vertexFans[6 * v + 2]];
        const QVector3D centre = (QVector3D(t.getAx(), t.getAy(), t.getAz()) +
                                  QVector3D(t.getBx(), t.getBy(), t.getBz()) +
                                  QVector3D(t.getCx(), t.getCy(), t.getCz())) /
                                 3;
        const QVector3D vertex = vertexPosition(*f.scene, v);
        const QVector3D aim = f.project(vertex + 0.25f * (centre - vertex));
        if (aim.x() < 5 || aim.y() < 5 || aim.x() > 495 || aim.y() > 495)
            continue;
        selectedVertex = 0;
        click(*f.scene, QPoint(qRound(aim.x()), qRound(aim.y())));
        QCOMPARE(selectedVertex, v);
    }
}

void SceneTest::clickOnBackgroundKeepsSelection()
{
    SceneFixture f({2, WorldRecipe::Flat, 1, false});
    selectedVertex = 17;
    click(*f.scene, QPoint(5, 5));
    click(*f.scene, QPoint(495, 250));
    QCOMPARE(selectedVertex, 17);
}

void SceneTest::clickOnAStripOfATallWindowHitsNothing()
{
    // The globe, drawn 1.6 times larger, reaches into both strips unseen.
    SceneFixture f({2, WorldRecipe::Flat, 1, false}, 500, 800);
    selectedVertex = 17;
    click(*f.scene, QPoint(250, 120));
    click(*f.scene, QPoint(250, 680));
    QCOMPARE(selectedVertex, 17);
    click(*f.scene, QPoint(250, 160));
    QVERIFY(selectedVertex != 17);
}

void SceneTest::refusedWorldEndsWithStatus2()
{
    QTemporaryDir dir;
    writeTestWorld(dir.path(), {2, WorldRecipe::Flat, 1, false});
    QFile::remove(dir.filePath("base005.dat"));
    QProcess globe;
    globe.setWorkingDirectory(dir.path());
    globe.start(GLOBE_EXE, QStringList());
    QVERIFY(globe.waitForFinished(30000));
    QCOMPARE(globe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(globe.exitCode(), 2);
    QVERIFY(globe.readAllStandardError().contains("\nbase005.dat: missing ("));
}

void SceneTest::noListsForTheTrianglesIsFatal()
{
    const Scene3D::FatalHandler previous =
        Scene3D::setFatalHandler([](const QStringList &problems) { fatalProblems = problems; });
    failNextReservation = true;
    SceneFixture f({1, WorldRecipe::Flat, 1, false});
    Scene3D::setFatalHandler(previous);
    QCOMPARE(fatalProblems, QStringList("globe: the GL cannot reserve 80 display lists for the "
                                        "triangles (glGenLists returned 0)"));
    // Had the handler not ended the process, the window would hold no terrain.
    QCOMPARE(triangleCount, 0);
    for (Qt::Key key : {Qt::Key_Equal, Qt::Key_F9, Qt::Key_F10, Qt::Key_Period})
        QTest::keyClick(f.scene.get(), key);
    click(*f.scene, QPoint(250, 250));
    QVERIFY(!QFile::exists(f.path("save.dat")));
}

void SceneTest::unusableGLIsFatal()
{
    // No context at all: Qt would never call initializeGL and leave a black
    // window waiting for input that does nothing.
    QTemporaryDir dir;
    writeTestWorld(dir.path(), {2, WorldRecipe::Flat, 1, false});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_XCB_GL_INTEGRATION", "none");
    QProcess globe;
    globe.setProcessEnvironment(environment);
    globe.setWorkingDirectory(dir.path());
    globe.start(GLOBE_EXE, QStringList());
    QVERIFY(globe.waitForFinished(10000));
    QCOMPARE(globe.exitCode(), 2);
    QVERIFY(globe.readAllStandardError().contains(
        "globe: cannot draw: no OpenGL context could be made for the window\n"));

    // A context without display lists, as a core profile is: named, and
    // nothing is built on it.
    QGLFormat core;
    core.setProfile(QGLFormat::CoreProfile);
    core.setVersion(3, 3);
    QGLFormat::setDefaultFormat(core);
    const Scene3D::FatalHandler previous =
        Scene3D::setFatalHandler([](const QStringList &problems) { fatalProblems = problems; });
    SceneFixture f({1, WorldRecipe::Flat, 1, false});
    Scene3D::setFatalHandler(previous);
    QGLFormat::setDefaultFormat(QGLFormat());
    QCOMPARE(fatalProblems.size(), 1);
    QVERIFY2(fatalProblems[0].startsWith("globe: cannot draw with OpenGL ") &&
                 fatalProblems[0].contains("Core Profile") &&
                 fatalProblems[0].endsWith(": it has no display lists"),
             qPrintable(fatalProblems[0]));
    QCOMPARE(triangleCount, 0);
    QVERIFY(!SceneAccess::triangles(*f.scene));
}

QTEST_MAIN(SceneTest)
#include "tst_scene.moc"
