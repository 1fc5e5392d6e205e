// Test support: a look inside the real Scene3D, a window on a generated world
// in a temporary working directory, and the projection that the view
// transform should give, computed independently of the code under test.
#ifndef SCENEACCESS_H
#define SCENEACCESS_H

#include "app/scene3d.h"
#include "world/worldgen.h"

#include <QTemporaryDir>
#include <QVector3D>

#include <memory>

struct SceneAccess
{
    static float xRot(const Scene3D &s) { return s.xRot; }
    static float yRot(const Scene3D &s) { return s.yRot; }
    static float zRot(const Scene3D &s) { return s.zRot; }
    static float yShift(const Scene3D &s) { return s.yShift; }
    static float zoom(const Scene3D &s) { return s.zoom; }
    static float aspect(const Scene3D &s) { return s.aspect; }
    static bool showAxes(const Scene3D &s) { return s.showAxes; }
    static bool showMarker(const Scene3D &s) { return s.showMarker; }
    static bool wheelZooms(const Scene3D &s) { return s.wheelZooms; }
    static bool clickPending(const Scene3D &s) { return s.clickPending; }
    static Triangle *triangles(const Scene3D &s) { return s.triangles; }
    static void setZoom(Scene3D &s, float zoom) { s.zoom = zoom; }
    static void setRotation(Scene3D &s, float x, float z)
    {
        s.xRot = x;
        s.zRot = z;
    }
};

// A shown Scene3D of the given size on a world generated into a temporary
// folder (or already in worldDir) that is the working directory while it lives.
class SceneFixture
{
public:
    SceneFixture(const WorldRecipe &recipe, int width = 500, int height = 500);
    explicit SceneFixture(const QString &worldDir, int width = 500, int height = 500);
    ~SceneFixture();
    bool ready() const { return scene != nullptr; }
    QString path(const char *file) const;
    // Window position of a model point in the view the window shows now;
    // y counted from the top. z > 0 means facing the viewer side.
    QVector3D project(const QVector3D &model) const;

    std::unique_ptr<Scene3D> scene;

private:
    void open(int width, int height);

    QTemporaryDir dir;
    QString folder;
    QString previous;
};

// Model position of a vertex as the triangles hold it.
QVector3D vertexPosition(const Scene3D &scene, int vertex);

#endif
