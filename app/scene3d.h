// The one window: an OpenGL view of the globe with its view state, its GL
// hooks and drawing pass, and every user input (drag, wheel, keys, click).
//
// Units: rotations in degrees, yShift in model units, positions of input
// events in logical widget pixels (y downward); widgetWidth, widgetHeight and
// picking in device pixels, which differ from them on a scaled screen.
// Everything runs on the GUI thread.
#ifndef SCENE3D_H
#define SCENE3D_H

#include "world/status.h"

#include <QGLWidget>
#include <QPoint>
#include <QStringList>
#include <QVector>

class Triangle;

class Scene3D : public QGLWidget
{
    Q_OBJECT

public:
    explicit Scene3D(QWidget *parent = nullptr);
    ~Scene3D() override;

    // Called when the world is refused, or when OpenGL cannot draw the globe
    // or hold it, with one line per problem. The default prints the lines on
    // stderr (and, when GLOBE_ERROR_BOX is set, in a message box) and ends
    // the process with status 2; if a replacement returns, the window shows
    // an empty world. Returns the handler it replaces.
    using FatalHandler = void (*)(const QStringList &problems);
    static FatalHandler setFatalHandler(FatalHandler handler);

    // Called when a save, restore or reset fails, with the window, a title
    // and the sentences that say what failed and what was kept. The default
    // shows them in a warning box over the window, for users who started the
    // editor without a terminal; nullptr brings it back. Returns the handler
    // it replaces.
    using WarningHandler = void (*)(QWidget *window, const QString &title, const QString &text);
    static WarningHandler setWarningHandler(WarningHandler handler);

    // F9, F10 and Ctrl+N. A failed save, restore or reset says why on stderr
    // and through the warning handler, and leaves the terrain as it is.
    void saveTerrain();
    void restoreTerrain();
    void resetTerrain();

    // Selects the vertex nearest to the click at (x, y) on the triangle under
    // it, if any; a click on the background or outside the viewport keeps the
    // selection. (x, y) is in the viewport's device pixels, not in the
    // events' logical ones.
    void pickVertex(int x, int y);
    void selectNearestCorner(int x, int y, int triangle, const GLint viewport[4]);

    void lowerVertex(int vertex, Triangle *triangles);
    void raiseVertex(int vertex, Triangle *triangles);

    void drawAxes();
    void drawMarker();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // Closing keeps edits that no save holds: levelstore's recovery file,
    // and one line on stderr naming it and the way back. No question is
    // asked: the window closes as it always did.
    void closeEvent(QCloseEvent *event) override;

    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

private:
    friend struct SceneAccess; // tests and benchmarks: see tests/sceneaccess.h

    bool insideViewport(int x, int y) const;
    void refuseGL(const QString &problem);
    void stepVertex(int vertex, Triangle *triangles, int step);
    void buildTriangles();
    void destroyTriangles();
    void rebuildTerrain(Status (*load)(), const char *action);
    void reportFailure(const char *action, const Status &why, const QString &kept);

    // The fields that a GL hook or the first press sets start defined all the
    // same, so that an event arriving early reads no garbage.
    int widgetWidth = 0;
    int widgetHeight = 0;
    float xRot;
    float yRot;
    float zRot;
    float yShift;
    float zoom;
    float aspect = 1.0f;
    QPoint lastPos;
    bool clickPending = false;
    bool showMarker = false;
    bool wheelZooms = true;
    bool showAxes = false;
    Triangle *triangles = nullptr;
    // The levels last loaded into the triangles or saved from them.
    QVector<int> settledLevels;
};

#endif
