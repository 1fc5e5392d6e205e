#include "app/scene3d.h"

#include "overlays/marker.h"
#include "terrain/elevation.h"
#include "terrain/triangle.h"
#include "world/levelstore.h"
#include "world/worldload.h"
#include "world/worldtables.h"

#include <GL/glu.h>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <utility>

namespace {

const double dragTurn = 180.0; // degrees across the whole widget at zoom 1
const double zoomFactor = 1.1; // per wheel event
const float arrowStep = 1.0f;  // degrees per arrow key
const double shiftStep = 0.05; // model units per Z or X
const float homeXRot = -90.0f; // pole up, -Y toward the viewer

// A box's title names the program, as the window's does.
QString titled(const QString &what)
{
    return what + QStringLiteral(" — Globe");
}

void printLines(const QStringList &lines)
{
    for (const QString &line : lines)
        std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}

void refuseAndExit(const QStringList &problems)
{
    printLines(problems);
    // Started from the desktop menu, the user has no terminal (globe-launch).
    if (!qEnvironmentVariableIsEmpty("GLOBE_ERROR_BOX") && qApp) {
        QMessageBox box(QMessageBox::Critical, titled("Cannot start"),
                        problems.join(QLatin1Char('\n')));
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
    // Nothing is built and nothing can be lost yet: leave at once rather
    // than unwind a half-initialised GL window.
    std::_Exit(2);
}

Scene3D::FatalHandler fatalHandler = refuseAndExit;

void showWarning(QWidget *window, const QString &title, const QString &text)
{
    QMessageBox::warning(window, titled(title), text);
}

Scene3D::WarningHandler warningHandler = showWarning;

// "save.dat: not written (No space left on device)" reads better in a box as
// "save.dat was not written: No space left on device."; a box may have no
// title bar, so the other lines say what did not happen.
QString sentenceOf(const char *action, const Status &why)
{
    if (why.kind() == Status::NotWritten)
        return QStringLiteral("%1 was not written: %2.").arg(why.file(), why.reason());
    return QStringLiteral("Nothing was %1: %2.").arg(QLatin1String(action), why.message());
}

// Compiling the lists takes seconds at high subdivisions (about 12 s at 8,
// on software GL), and the window does not repaint meanwhile.
struct BusyCursor
{
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

QString glText(GLenum name)
{
    const GLubyte *text = glGetString(name);
    return text ? QString::fromLatin1(reinterpret_cast<const char *>(text))
                : QStringLiteral("(unknown)");
}

bool glFailed()
{
    bool failed = false;
    // A lost context may report its loss forever.
    for (int k = 0; k < 8 && glGetError() != GL_NO_ERROR; ++k)
        failed = true;
    return failed;
}

// What keeps the current context from drawing the globe, or an empty string.
// A core profile, some indirect contexts and very old drivers lack one of
// the three; without them the lists or the pick pass would fail later with a
// message about the symptom.
QString glShortcoming()
{
    int major = 0, minor = 0;
    if (std::sscanf(qPrintable(glText(GL_VERSION)), "%d.%d", &major, &minor) != 2)
        return QStringLiteral("its version is not desktop OpenGL's");
    if (major < 1 || (major == 1 && minor < 1))
        return QStringLiteral("it is older than 1.1");
    glFailed();
    glIsList(1);
    if (glFailed())
        return QStringLiteral("it has no display lists");
    GLuint buffer[4];
    glSelectBuffer(4, buffer);
    glRenderMode(GL_SELECT);
    glRenderMode(GL_RENDER);
    if (glFailed())
        return QStringLiteral("it has no selection mode");
    return QString();
}

// The wheel's step as Qt 4's QWheelEvent::delta() gave it: the dominant
// component, so a horizontal wheel acts as a vertical one.
int wheelDelta(const QWheelEvent *event)
{
    const QPoint angle = event->angleDelta();
    return qAbs(angle.x()) > qAbs(angle.y()) ? angle.x() : angle.y();
}

} // namespace

Scene3D::Scene3D(QWidget *parent)
    : QGLWidget(parent), xRot(homeXRot), yRot(0.0f), zRot(0.0f), yShift(-0.0f), zoom(1.0f),
      lastPos(0, 0)
{
    // Without a context Qt never calls initializeGL: the window would stay
    // black, and F9 would save nothing.
    if (!isValid())
        refuseGL(QStringLiteral("globe: cannot draw: no OpenGL context could be made for the "
                                "window"));
}

void Scene3D::refuseGL(const QString &problem)
{
    vertexCount = 0;
    triangleCount = 0;
    fatalHandler({problem});
}

Scene3D::~Scene3D()
{
    // The process usually ends right after; freeing here keeps leak checkers
    // quiet and lets a program hold more than one window in turn.
    if (triangles) {
        makeCurrent();
        destroyTriangles();
    }
}

Scene3D::FatalHandler Scene3D::setFatalHandler(FatalHandler handler)
{
    std::swap(fatalHandler, handler);
    return handler;
}

Scene3D::WarningHandler Scene3D::setWarningHandler(WarningHandler handler)
{
    std::swap(warningHandler, handler);
    if (!warningHandler)
        warningHandler = showWarning;
    return handler;
}

void Scene3D::reportFailure(const char *action, const Status &why, const QString &kept)
{
    printLines(
        {QStringLiteral("globe: terrain not %1: %2").arg(QLatin1String(action), why.message())});
    warningHandler(this, QStringLiteral("Terrain not %1").arg(QLatin1String(action)),
                   sentenceOf(action, why) + QLatin1Char(' ') + kept);
}

void Scene3D::initializeGL()
{
    const QString shortcoming = glShortcoming();
    if (!shortcoming.isEmpty()) {
        refuseGL(QStringLiteral("globe: cannot draw with OpenGL %1 on %2: %3")
                     .arg(glText(GL_VERSION), glText(GL_RENDERER), shortcoming));
        return;
    }
    qglClearColor(QColor(Qt::white));
    glEnable(GL_DEPTH_TEST);
    const Status loaded = loadWorld();
    if (!loaded.ok())
        fatalHandler(loaded.lines());
    vertexCount = getWorldVertexCount();
    triangleCount = getWorldTriangleCount();
    try {
        buildTriangles();
    } catch (const std::bad_alloc &) {
        triangles = nullptr;
        triangleCount = 0;
        fatalHandler({QStringLiteral("globe: %1 triangles: not enough memory to build them")
                          .arg(worldTriangleCount)});
    }
    showAxes = true;
    showMarker = true;
    wheelZooms = true;
}

void Scene3D::buildTriangles()
{
    // Every array starts at row 0: after a restore, and in a second window
    // of the same process, the previous array left nextIndex at its end.
    Triangle::setNextIndex(0);
    {
        const BusyCursor busy; // gone before a fatal box
        triangles = new Triangle[triangleCount];
    }
    settledLevels = vertexLevels;
    if (triangleCount > 0 && !Triangle::listsReserved()) {
        destroyTriangles();
        triangleCount = 0;
        fatalHandler({QStringLiteral("globe: the GL cannot reserve %1 display lists for the "
                                     "triangles (glGenLists returned 0)")
                          .arg(worldTriangleCount)});
    }
}

void Scene3D::destroyTriangles()
{
    if (triangleCount > 0 && Triangle::listsReserved())
        glDeleteLists(Triangle::getListBase(), triangleCount);
    delete[] triangles;
    triangles = nullptr;
}

void Scene3D::closeEvent(QCloseEvent *event)
{
    bool written = false;
    const Status kept =
        triangleCount > 0 ? keepUnsavedLevels(triangles, settledLevels, &written) : Status();
    const QString file = QString::fromLatin1(recoveryFileName);
    if (written)
        printLines({QStringLiteral("globe: the edits not saved are in %1: to bring them back, "
                                   "cp %1 %2 and press F10 in the editor, or give --levels %1 "
                                   "to globe-world")
                        .arg(file, QLatin1String(saveFileName))});
    else if (!kept.ok())
        printLines({QStringLiteral("globe: the edits not saved are lost: %1").arg(kept.message())});
    QGLWidget::closeEvent(event);
}

void Scene3D::resizeGL(int w, int h)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, (h - w) / 2, w, w);
    widgetHeight = h;
    widgetWidth = w;
    aspect = float(h) / float(w);
    glOrtho(-1, 1, -1, 1, -10, 1);
}

void Scene3D::paintGL()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const float s = zoom * aspect;
    glScalef(s, s, s);
    glTranslatef(0.0f, yShift, 0.0f);
    glRotatef(xRot, 1.0f, 0.0f, 0.0f);
    glRotatef(yRot, 0.0f, 1.0f, 0.0f);
    glRotatef(zRot, 0.0f, 0.0f, 1.0f);
    glEnable(GL_CULL_FACE);
    for (int i = 0; i < triangleCount; ++i)
        glCallList(triangles[i].getListId());
    if (showMarker && triangleCount > 0)
        drawMarker();
    if (showAxes)
        drawAxes();
}

void Scene3D::drawAxes()
{
    struct Axis
    {
        GLfloat color[3];
        GLfloat from[3];
        GLfloat to[3];
    };
    static const Axis axes[3] = {
        {{0, 0, 1}, {0, 0, 1}, {0, 0, -1}}, // Z, blue
        {{1, 0, 0}, {0, 1, 0}, {0, -1, 0}}, // Y, red
        {{0, 0, 1}, {1, 0, 0}, {-1, 0, 0}}, // X, blue as Z
    };
    glLineWidth(1.0f);
    for (const Axis &axis : axes) {
        glColor4f(axis.color[0], axis.color[1], axis.color[2], 1.0f);
        glBegin(GL_LINES);
        glVertex3fv(axis.from);
        glVertex3fv(axis.to);
        glEnd();
    }
}

void Scene3D::drawMarker()
{
    drawVertexMarker(selectedVertex, triangles);
}

void Scene3D::mousePressEvent(QMouseEvent *event)
{
    clickPending = true;
    lastPos = event->pos();
}

void Scene3D::mouseMoveEvent(QMouseEvent *event)
{
    const double k = dragTurn / double(zoom);
    const int dy = event->y() - lastPos.y();
    const int dx = event->x() - lastPos.x();
    xRot = float(xRot + k * dy / height());
    zRot = float(zRot + k * dx / width());
    updateGL();
    clickPending = false;
    lastPos = event->pos();
}

void Scene3D::mouseReleaseEvent(QMouseEvent *event)
{
    if (clickPending) {
        // The viewport is in device pixels, the event in Qt's logical ones:
        // on a scaled screen (2, or 1.5) they differ by the ratio.
        const QPointF at = event->localPos() * devicePixelRatioF();
        pickVertex(qRound(at.x()), qRound(at.y()));
    }
    updateGL();
}

void Scene3D::wheelEvent(QWheelEvent *event)
{
    // One event is one step, whatever its size; only the sign counts.
    const int d = wheelDelta(event);
    if (wheelZooms && d != 0)
        zoom = float(d > 0 ? zoom * zoomFactor : zoom / zoomFactor);
    else if (!wheelZooms && d > 0)
        raiseVertex(selectedVertex, triangles);
    else if (!wheelZooms && d < 0)
        lowerVertex(selectedVertex, triangles);
    updateGL();
}

void Scene3D::keyPressEvent(QKeyEvent *event)
{
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    switch (event->key()) {
    case Qt::Key_Up:
        xRot += arrowStep;
        break;
    case Qt::Key_Down:
        xRot -= arrowStep;
        break;
    case Qt::Key_Left:
        zRot += arrowStep;
        break;
    case Qt::Key_Right:
        zRot -= arrowStep;
        break;
    case Qt::Key_X:
        yShift = float(yShift + shiftStep);
        break;
    case Qt::Key_Z:
        yShift = float(yShift - shiftStep);
        break;
    case Qt::Key_Space:
        zoom = 1.0f;
        xRot = homeXRot;
        yRot = 0.0f;
        zRot = 0.0f;
        break;
    case Qt::Key_A:
        showAxes = !showAxes;
        break;
    case Qt::Key_S:
        showMarker = !showMarker;
        break;
    case Qt::Key_W:
        if (ctrl)
            wheelZooms = !wheelZooms;
        break;
    case Qt::Key_Equal:
        raiseVertex(selectedVertex, triangles);
        break;
    case Qt::Key_Minus:
        lowerVertex(selectedVertex, triangles);
        break;
    case Qt::Key_Period:
        if (selectedVertex < vertexCount - 1)
            selectedVertex += 1;
        break;
    case Qt::Key_Comma:
        if (selectedVertex > 0)
            selectedVertex -= 1;
        break;
    case Qt::Key_F9:
        saveTerrain();
        break;
    case Qt::Key_F10:
        restoreTerrain();
        break;
    case Qt::Key_N:
        if (ctrl)
            resetTerrain();
        break;
    default:
        break;
    }
    updateGL();
}

void Scene3D::lowerVertex(int vertex, Triangle *triangles)
{
    stepVertex(vertex, triangles, -1);
}

void Scene3D::raiseVertex(int vertex, Triangle *triangles)
{
    stepVertex(vertex, triangles, +1);
}

void Scene3D::stepVertex(int vertex, Triangle *triangles, int step)
{
    if (triangleCount == 0)
        return;
    makeCurrent(); // the recompiles run outside the GL hooks
    stepVertexLevel(vertex, step, triangles);
}

void Scene3D::saveTerrain()
{
    if (triangleCount == 0)
        return;
    const Status saved = saveLevels(triangles);
    if (saved.ok())
        settledLevels = vertexLevels;
    if (!saved.ok())
        reportFailure("saved", saved,
                      saved.kind() == Status::NotWritten
                          ? QStringLiteral("The previous %1 is unchanged.").arg(saveFileName)
                          : QStringLiteral("The terrain on screen is unchanged."));
}

void Scene3D::restoreTerrain()
{
    rebuildTerrain(loadSavedLevels, "restored");
}

void Scene3D::resetTerrain()
{
    rebuildTerrain(loadBaseLevels, "reset");
}

void Scene3D::rebuildTerrain(Status (*load)(), const char *action)
{
    if (triangleCount == 0)
        return;
    // The new levels are read and checked before the old array goes, so a
    // bad file leaves the terrain on screen as it was.
    const Status loaded = load();
    if (!loaded.ok()) {
        reportFailure(action, loaded, QStringLiteral("The terrain on screen is unchanged."));
        return;
    }
    makeCurrent();
    destroyTriangles();
    buildTriangles();
}

bool Scene3D::insideViewport(int x, int y) const
{
    const int bottom = (widgetHeight - widgetWidth) / 2;
    const int row = widgetHeight - 1 - y; // GL's rows count from the bottom
    return x >= 0 && x < widgetWidth && row >= bottom && row < bottom + widgetWidth;
}

void Scene3D::pickVertex(int x, int y)
{
    // A tall window's strips show the background, but the enlarged globe
    // goes on beyond the viewport, and the pick box would find it there.
    if (triangleCount == 0 || !insideViewport(x, y))
        return;
    makeCurrent();
    GLuint selectBuffer[4];
    GLint viewport[4];
    glSelectBuffer(4, selectBuffer);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);
    glLoadIdentity();
    gluPickMatrix(x, double(viewport[3]) * double(aspect) - y, 1.0, 1.0, viewport);
    glViewport(0, (widgetHeight - widgetWidth) / 2, widgetWidth, widgetWidth);
    glOrtho(-1, 1, -1, 1, -10, 1);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    for (int i = 0; i < triangleCount; ++i) {
        glLoadName(GLuint(i + 1));
        triangles[i].drawForPicking();
    }
    const GLint hits = glRenderMode(GL_RENDER);
    // On overflow GL returns a negative count; the first record, the hit
    // triangle with the lowest index, is complete all the same.
    if (hits != 0)
        selectNearestCorner(x, y, int(selectBuffer[3]) - 1, viewport);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    updateGL();
}

void Scene3D::selectNearestCorner(int x, int y, int triangle, const GLint viewport[4])
{
    const Triangle &t = triangles[triangle];
    const int corners[3] = {t.getVertexA(), t.getVertexB(), t.getVertexC()};
    const GLdouble positions[3][3] = {{t.getAx(), t.getAy(), t.getAz()},
                                      {t.getBx(), t.getBy(), t.getBz()},
                                      {t.getCx(), t.getCy(), t.getCz()}};
    GLdouble modelview[16], projection[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    float distance[3];
    for (int k = 0; k < 3; ++k) {
        GLdouble wx, wy, wz;
        gluProject(positions[k][0], positions[k][1], positions[k][2], modelview, projection,
                   viewport, &wx, &wy, &wz);
        distance[k] = float((x - wx) * (x - wx) + (y - wy) * (y - wy));
    }
    // Ties go to the later corner: C over A and B, B over A.
    int chosen = 0;
    if (distance[2] <= distance[0] && distance[2] <= distance[1])
        chosen = 2;
    else if (distance[1] <= distance[0] && distance[1] <= distance[2])
        chosen = 1;
    selectedVertex = corners[chosen];
}
