#include "scenefixture.h"

#include "terrain/triangle.h"
#include "world/worldtables.h"
#include "worldfiles.h"

#include <QDir>
#include <QtTest>

#include <cmath>

namespace {

QStringList recorded;

// A box would wait for a click that no test gives.
void recordWarning(QWidget *, const QString &title, const QString &text)
{
    recorded << title + QStringLiteral(": ") + text;
}

} // namespace

SceneFixture::SceneFixture(const WorldRecipe &recipe, int width, int height) : folder(dir.path())
{
    writeTestWorld(folder, recipe);
    open(width, height);
}

SceneFixture::SceneFixture(const QString &worldDir, int width, int height) : folder(worldDir)
{
    open(width, height);
}

void SceneFixture::open(int width, int height)
{
    previous = QDir::currentPath();
    QDir::setCurrent(folder);
    selectedVertex = 0;
    recorded.clear();
    Scene3D::setWarningHandler(recordWarning);
    scene = std::make_unique<Scene3D>();
    scene->resize(width, height);
    scene->show();
    if (!QTest::qWaitForWindowExposed(scene.get()) || !scene->isValid())
        scene.reset();
}

SceneFixture::~SceneFixture()
{
    scene.reset();
    QDir::setCurrent(previous);
}

QStringList SceneFixture::warnings() const
{
    return recorded;
}

QString SceneFixture::path(const char *file) const
{
    return QDir(folder).filePath(QString::fromLatin1(file));
}

static QVector3D rotate(QVector3D p, float degrees, int axis)
{
    const double a = degrees * M_PI / 180.0, c = std::cos(a), s = std::sin(a);
    const int i = (axis + 1) % 3, j = (axis + 2) % 3; // right-handed: x->y, y->z, z->x
    const double u = p[i] * c - p[j] * s, v = p[i] * s + p[j] * c;
    p[i] = float(u);
    p[j] = float(v);
    return p;
}

QVector3D SceneFixture::project(const QVector3D &model) const
{
    const Scene3D &s = *scene;
    QVector3D p = rotate(model, SceneAccess::zRot(s), 2);
    p = rotate(p, SceneAccess::yRot(s), 1);
    p = rotate(p, SceneAccess::xRot(s), 0);
    p.setY(p.y() + SceneAccess::yShift(s));
    p *= SceneAccess::zoom(s) * SceneAccess::aspect(s);
    const int w = s.width(), h = s.height();
    const double fromBottom = (h - w) / 2 + (p.y() + 1.0) / 2.0 * w;
    return QVector3D(float((p.x() + 1.0) / 2.0 * w), float(h - fromBottom), p.z());
}

QVector3D vertexPosition(const Scene3D &scene, int vertex)
{
    const Triangle &t = SceneAccess::triangles(scene)[vertexFans[6 * vertex]];
    if (t.getVertexA() == vertex)
        return QVector3D(t.getAx(), t.getAy(), t.getAz());
    if (t.getVertexB() == vertex)
        return QVector3D(t.getBx(), t.getBy(), t.getBz());
    return QVector3D(t.getCx(), t.getCy(), t.getCz());
}
