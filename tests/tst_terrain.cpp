// Triangles, their display lists, elevation edits and the marker, read back
// through GL feedback on small in-memory worlds. glNewList and glGenLists are
// wrapped at link time, so the tests see exactly which lists get compiled.
#include "fanworld.h"
#include "glprobe.h"
#include "overlays/marker.h"
#include "terrain/elevation.h"
#include "terrain/triangle.h"
#include "world/worldtables.h"

#include <QtTest>

#include <unistd.h>

#include <climits>
#include <cmath>
#include <memory>

namespace {
// Feedback coordinates pass through the rasteriser's viewport arithmetic;
// a micro-unit is well below the 0.001 lifts the tests tell apart.
const float feedbackError = 1e-5f;
QVector<GLuint> compiledLists;
QVector<GLsizei> reservedBlocks;
bool failNextReservation = false;

// The lists compiled, in turn. On Mesa a recompile first records the list
// empty, on the way to its place in the driver's store (listpadding.h): a
// list compiled twice in a row is one recompile.
QVector<GLuint> listsCompiledInTurn()
{
    QVector<GLuint> out;
    for (GLuint list : compiledLists)
        if (out.isEmpty() || out.last() != list)
            out << list;
    return out;
}
} // namespace

extern "C" {
void __real_glNewList(GLuint list, GLenum mode);
GLuint __real_glGenLists(GLsizei range);

void __wrap_glNewList(GLuint list, GLenum mode)
{
    compiledLists << list;
    __real_glNewList(list, mode);
}

GLuint __wrap_glGenLists(GLsizei range)
{
    reservedBlocks << range;
    if (failNextReservation) {
        failNextReservation = false;
        return 0;
    }
    return __real_glGenLists(range);
}
}

class TerrainTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void arrayReservesOneBlockOfLists();
    void failedReservationCompilesNothing();
    void listHoldsFaceThenOutline_data();
    void listHoldsFaceThenOutline();
    void editRewritesWholeFanOnce_data();
    void editRewritesWholeFanOnce();
    void editClampsLevel_data();
    void editClampsLevel();
    void pickingSeesEditedCorner();
    void selectPassesKeepNoMemory();
    void markerDrawsDotAndRing_data();
    void markerDrawsDotAndRing();

private:
    Triangle *build(const FanWorld &world, int centreLevel);

    std::unique_ptr<QGLWidget> context;
    Triangle *triangles = nullptr;
};

void TerrainTest::initTestCase()
{
    context = makeCurrentContext();
    if (!context)
        QSKIP("no GL context can be made here");
}

void TerrainTest::cleanup()
{
    delete[] triangles;
    triangles = nullptr;
    compiledLists.clear();
    reservedBlocks.clear();
}

Triangle *TerrainTest::build(const FanWorld &world, int centreLevel)
{
    installFanWorld(world, centreLevel);
    triangles = new Triangle[triangleCount];
    compiledLists.clear();
    return triangles;
}

static float radiusOf(int level)
{
    float radius;
    Triangle::levelRadius(level, radius);
    return radius;
}

static int cornerLevel(const Triangle &t, int vertex)
{
    return t.getVertexA() == vertex   ? t.getLevelA()
           : t.getVertexB() == vertex ? t.getLevelB()
                                      : t.getLevelC();
}

void TerrainTest::arrayReservesOneBlockOfLists()
{
    installFanWorld({6, 4, 0.3f}, 2);
    for (int build = 0; build < 2; ++build) {
        reservedBlocks.clear();
        compiledLists.clear();
        Triangle::setNextIndex(0);
        triangles = new Triangle[triangleCount];
        QCOMPARE(reservedBlocks, QVector<GLsizei>{10});
        const GLuint base = Triangle::getListBase();
        QVERIFY(base != 0);
        for (int i = 0; i < triangleCount; ++i) {
            QCOMPARE(triangles[i].getListId(), base + GLuint(i));
            QCOMPARE(compiledLists[i], base + GLuint(i));
        }
        delete[] triangles;
        triangles = nullptr;
    }
}

void TerrainTest::failedReservationCompilesNothing()
{
    installFanWorld({6, 0, 0.3f}, 2);
    failNextReservation = true;
    triangles = new Triangle[triangleCount];
    QVERIFY(!Triangle::listsReserved());
    QVERIFY(compiledLists.isEmpty());
    delete[] triangles;
    Triangle::setNextIndex(0);
    triangles = new Triangle[triangleCount];
    QVERIFY(Triangle::listsReserved());
}

void TerrainTest::listHoldsFaceThenOutline_data()
{
    QTest::addColumn<int>("triangle");
    QTest::addColumn<QVector<int>>("outline"); // corner pairs, 0 = A, 1 = B, 2 = C
    QTest::newRow("flag clear: edges C-A then B-C") << 0 << QVector<int>{2, 0, 1, 2};
    QTest::newRow("flag set: edge A-B alone") << 1 << QVector<int>{0, 1};
}

void TerrainTest::listHoldsFaceThenOutline()
{
    QFETCH(int, triangle);
    QFETCH(QVector<int>, outline);
    installFanWorld({6, 0, 0.3f}, 0);
    vertexLevels[1] = 5;
    vertexLevels[2] = 9;
    vertexLevels[3] = 5;
    triangles = new Triangle[triangleCount];
    const Triangle &t = triangles[triangle];
    const auto all = captureFeedback([&] { glCallList(t.getListId()); });

    QCOMPARE(all.size(), 1 + outline.size() / 2);
    QCOMPARE(all[0].token, GLenum(GL_POLYGON_TOKEN));
    const int levels[3] = {t.getLevelA(), t.getLevelB(), t.getLevelC()};
    const float corners[3][3] = {{t.getAx(), t.getAy(), t.getAz()},
                                 {t.getBx(), t.getBy(), t.getBz()},
                                 {t.getCx(), t.getCy(), t.getCz()}};
    for (int k = 0; k < 3; ++k) {
        const FeedbackVertex &v = all[0].vertices[k];
        float r, g, b;
        Triangle::levelColor(levels[k], r, g, b);
        QVERIFY(qAbs(v.r - r) < 1e-6f && qAbs(v.g - g) < 1e-6f && qAbs(v.b - b) < 1e-6f);
        QCOMPARE(v.a, 1.0f);
        QVERIFY(qAbs(v.x - corners[k][0]) < feedbackError &&
                qAbs(v.y - corners[k][1]) < feedbackError);
    }
    for (int line = 0; line < outline.size() / 2; ++line) {
        const FeedbackPrimitive &p = all[1 + line];
        QCOMPARE(p.token, GLenum(GL_LINE_TOKEN));
        for (int end = 0; end < 2; ++end) {
            const int corner = outline[2 * line + end];
            const FeedbackVertex &v = p.vertices[end];
            QVERIFY(v.r == 0.5f && v.g == 0.5f && v.b == 0.5f && v.a == 1.0f);
            QVERIFY(qAbs(v.radius() - (radiusOf(levels[corner]) + 0.001)) < feedbackError);
            const double along =
                (v.x * corners[corner][0] + v.y * corners[corner][1] + v.z * corners[corner][2]) /
                (v.radius() * radiusOf(levels[corner]));
            QVERIFY2(along > 0.999999, "the outline end lies over another corner");
        }
    }

    // Whatever is drawn after the lists without a colour or width of its own
    // is grey and one pixel wide, however the list records the grey.
    glColor4f(1.0f, 0.0f, 0.0f, 0.25f);
    glLineWidth(3.0f);
    glCallList(t.getListId());
    GLfloat colour[4], width = 0.0f;
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glGetFloatv(GL_LINE_WIDTH, &width);
    QCOMPARE(QVector<GLfloat>(colour, colour + 4), (QVector<GLfloat>{0.5f, 0.5f, 0.5f, 1.0f}));
    QCOMPARE(width, 1.0f);
}

void TerrainTest::editRewritesWholeFanOnce_data()
{
    QTest::addColumn<int>("ring");
    QTest::newRow("six-triangle fan") << 6;
    QTest::newRow("five-triangle fan, last entry repeated") << 5;
}

void TerrainTest::editRewritesWholeFanOnce()
{
    QFETCH(int, ring);
    build({ring, 3, 0.3f}, 3);
    const Triangle before = triangles[0];
    stepVertexLevel(0, +1, triangles);

    QVector<GLuint> expected;
    for (int k = 0; k < ring; ++k)
        expected << triangles[k].getListId();
    QCOMPARE(listsCompiledInTurn(), expected);
    for (int k = 0; k < ring; ++k) {
        QCOMPARE(cornerLevel(triangles[k], 0), 4);
        QCOMPARE(triangles[k].getAz(), radiusOf(4));
        QCOMPARE(triangles[k].getLevelB(), 1);
        QCOMPARE(triangles[k].getLevelC(), 1);
    }
    QCOMPARE(triangles[0].getBx(), before.getBx());
    QCOMPARE(triangles[0].getCz(), before.getCz());
    QCOMPARE(getVertexLevel(0, triangles), 4);
    QCOMPARE(vertexLevels[0], 3); // the table waits for the next save
}

void TerrainTest::editClampsLevel_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("result");
    QTest::newRow("raise 3 to 4") << 3 << 1 << 4;
    QTest::newRow("raise at 9 stays 9") << 9 << 1 << 9;
    QTest::newRow("lower at 0 stays 0") << 0 << -1 << 0;
    QTest::newRow("loaded 12, raised, comes to 9") << 12 << 1 << 9;
    QTest::newRow("loaded 12, lowered, comes to 9") << 12 << -1 << 9;
    QTest::newRow("loaded -3, lowered, comes to 0") << -3 << -1 << 0;
    QTest::newRow("loaded -3, raised, comes to 0") << -3 << 1 << 0;
    // A save.dat may hold any integer; one step past it must not overflow.
    QTest::newRow("loaded INT_MAX, raised, comes to 9") << INT_MAX << 1 << 9;
    QTest::newRow("loaded INT_MIN, lowered, comes to 0") << INT_MIN << -1 << 0;
}

void TerrainTest::editClampsLevel()
{
    QFETCH(int, start);
    QFETCH(int, step);
    QFETCH(int, result);
    build({6, 0, 0.3f}, start);
    stepVertexLevel(0, step, triangles);
    for (int k = 0; k < 6; ++k)
        QCOMPARE(cornerLevel(triangles[k], 0), result);
    QCOMPARE(listsCompiledInTurn().size(), 6);
}

void TerrainTest::pickingSeesEditedCorner()
{
    build({6, 0, 0.3f}, 0);
    stepVertexLevel(0, +1, triangles);
    const auto all = captureFeedback([&] { triangles[2].drawForPicking(); });
    QCOMPARE(all.size(), 1);
    QVERIFY(qAbs(all[0].vertices[0].z - radiusOf(1)) < feedbackError);
    const auto list = captureFeedback([&] { glCallList(triangles[2].getListId()); });
    QVERIFY(qAbs(list[0].vertices[0].z - radiusOf(1)) < feedbackError);
}

static qint64 residentBytes()
{
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

void TerrainTest::selectPassesKeepNoMemory()
{
    // A click is one GL_SELECT pass over every triangle. With glBegin/glEnd,
    // Mesa kept some 35 bytes per face per pass: 100 passes over 5,000 faces
    // grew the process by about 17 MB.
    build({6, 5000, 0.3f}, 0);
    GLuint hits[64];
    auto selectPass = [&] {
        glSelectBuffer(64, hits);
        glRenderMode(GL_SELECT);
        for (int t = 0; t < triangleCount; ++t)
            triangles[t].drawForPicking();
        glRenderMode(GL_RENDER);
    };
    // The first passes fill allocator caches, and under ASan its quarantine
    // of freed memory; after them only a leak still grows.
    for (int pass = 0; pass < 100; ++pass)
        selectPass();
    const qint64 before = residentBytes();
    for (int pass = 0; pass < 100; ++pass)
        selectPass();
    const qint64 grown = residentBytes() - before;
    QVERIFY2(grown < 4 * 1024 * 1024, qPrintable(QString("grew %1 bytes").arg(grown)));
    QVERIFY(!glIsEnabled(GL_VERTEX_ARRAY));
}

void TerrainTest::markerDrawsDotAndRing_data()
{
    QTest::addColumn<int>("ring");
    QTest::newRow("hexagon around a six-triangle vertex") << 6;
    QTest::newRow("pentagon around a five-triangle vertex") << 5;
}

void TerrainTest::markerDrawsDotAndRing()
{
    QFETCH(int, ring);
    build({ring, 2, 0.3f}, 4);
    const auto all = captureFeedback([&] { drawVertexMarker(0, triangles); });
    QCOMPARE(all.size(), 1 + ring);
    QCOMPARE(all[0].token, GLenum(GL_POINT_TOKEN));
    const FeedbackVertex &dot = all[0].vertices[0];
    QVERIFY(dot.r == 1.0f && dot.g == 0.0f && dot.b == 1.0f);
    QVERIFY(qAbs(dot.z - radiusOf(4)) < feedbackError);

    QSet<QPair<int, int>> edges;
    for (int k = 1; k <= ring; ++k) {
        QCOMPARE(all[k].token, GLenum(GL_LINE_TOKEN));
        QVector<int> ends;
        for (const FeedbackVertex &v : all[k].vertices) {
            QVERIFY(v.r == 1.0f && v.g == 0.0f && v.b == 0.0f);
            QVERIFY(qAbs(v.radius() - (radiusOf(1) + 0.0015)) < feedbackError);
            const double phi = std::atan2(double(v.x), double(v.y));
            ends << (int(std::lround(phi / (2 * M_PI) * ring)) + ring) % ring;
        }
        edges.insert(qMakePair(qMin(ends[0], ends[1]), qMax(ends[0], ends[1])));
    }
    QCOMPARE(edges.size(), ring); // a closed ring, no edge twice
}

QTEST_MAIN(TerrainTest)
#include "tst_terrain.moc"
