// The bare references must draw exactly what the triangles' lists draw, or
// the ratios set beside them mean nothing: read back through GL feedback on a
// generated world.
#include "references.h"

#include "generator/worldgen.h"
#include "glprobe.h"
#include "terrain/triangle.h"
#include "world/worldload.h"
#include "world/worldtables.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

class BenchRefsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void bareListsDrawWhatTheTrianglesDraw();
    void vertexArraysDrawEveryFaceAndOutline();
    void plainListsDrawTheSamePicture();

private:
    std::unique_ptr<QGLWidget> context;
    Triangle *triangles = nullptr;
    BareMesh mesh;
};

static bool same(const QVector<FeedbackPrimitive> &a, const QVector<FeedbackPrimitive> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].token != b[i].token || a[i].vertices.size() != b[i].vertices.size())
            return false;
        for (int k = 0; k < a[i].vertices.size(); ++k) {
            const FeedbackVertex &u = a[i].vertices[k], &v = b[i].vertices[k];
            if (u.x != v.x || u.y != v.y || u.z != v.z || u.r != v.r || u.g != v.g || u.b != v.b ||
                u.a != v.a)
                return false;
        }
    }
    return true;
}

void BenchRefsTest::initTestCase()
{
    context = makeCurrentContext();
    if (!context)
        QSKIP("no GL context can be made here");
    QTemporaryDir dir;
    WorldRecipe shape;
    shape.subdivision = 2;
    shape.demo = true;
    World world = generateWorld(shape);
    applyDemoLevels(world.levels); // as the editor starts it
    setWorldTables(world);
    vertexCount = worldVertexCount;
    triangleCount = worldTriangleCount;
    Triangle::setNextIndex(0);
    triangles = new Triangle[triangleCount];
    mesh = bareMeshOf(triangles, triangleCount);
}

void BenchRefsTest::cleanupTestCase()
{
    delete[] triangles;
}

void BenchRefsTest::bareListsDrawWhatTheTrianglesDraw()
{
    const GLuint base = glGenLists(triangleCount);
    compileBareLists(mesh, base, 0, triangleCount);
    for (int t = 0; t < triangleCount; ++t) {
        const auto ours = captureFeedback([&] { glCallList(triangles[t].getListId()); });
        const auto bare = captureFeedback([&] { glCallList(base + GLuint(t)); });
        QVERIFY2(same(ours, bare), qPrintable(QString("triangle %1").arg(t)));
    }
    glDeleteLists(base, triangleCount);
}

void BenchRefsTest::vertexArraysDrawEveryFaceAndOutline()
{
    const auto lists = captureFeedback([&] {
        for (int t = 0; t < triangleCount; ++t)
            glCallList(triangles[t].getListId());
    });
    const auto arrays = captureFeedback([&] { drawVertexArrays(mesh); });
    QVERIFY(same(primitivesOf(arrays, GL_POLYGON_TOKEN), primitivesOf(lists, GL_POLYGON_TOKEN)));
    QVERIFY(same(primitivesOf(arrays, GL_LINE_TOKEN), primitivesOf(lists, GL_LINE_TOKEN)));
    QVERIFY(!primitivesOf(lists, GL_LINE_TOKEN).isEmpty());
}

// One frame as the window draws its globe (turned, depth-tested, culled),
// read back from the frame buffer.
static QImage frameOf(const std::function<void()> &drawLists, int side)
{
    glViewport(0, 0, side, side);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -10, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(-60.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(25.0f, 0.0f, 0.0f, 1.0f);
    GLfloat view[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, view);
    beginFrame(view);
    drawLists();
    glFinish();
    QImage image(side, side, QImage::Format_RGBA8888);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, side, side, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    glDisable(GL_CULL_FACE);
    return image;
}

void BenchRefsTest::plainListsDrawTheSamePicture()
{
    // The triangles record the outline's grey inside the line primitive and,
    // on Mesa, pad their lists; the plain sequence of the reference records
    // the grey before it and pads nothing. The pixels must not tell them
    // apart.
    const int side = 64;
    const GLuint base = glGenLists(triangleCount);
    compileBareLists(mesh, base, 0, triangleCount);
    const QImage ours = frameOf(
        [&] {
            for (int t = 0; t < triangleCount; ++t)
                glCallList(triangles[t].getListId());
        },
        side);
    const QImage plain = frameOf([&] { callLists(base, triangleCount); }, side);
    glDeleteLists(base, triangleCount);
    QCOMPARE(ours, plain);
    int grey = 0, white = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const QRgb p = ours.pixel(x, y);
            grey += p == qRgba(128, 128, 128, 255);
            white += p == qRgba(255, 255, 255, 255);
        }
    QVERIFY2(grey > 20 && white > 20 && white < side * side / 2,
             qPrintable(QString("%1 grey and %2 white pixels").arg(grey).arg(white)));
}

QTEST_MAIN(BenchRefsTest)
#include "tst_benchrefs.moc"
