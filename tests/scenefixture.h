// Test support: a window on a generated world
// in a temporary working directory, and the projection that the view
// transform should give, computed independently of the code under test.
#ifndef SCENEFIXTURE_H
#define SCENEFIXTURE_H

#include "generator/worldgen.h"
#include "sceneaccess.h"

#include <QTemporaryDir>
#include <QVector3D>

#include <memory>

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
