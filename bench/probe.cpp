#include "probe.h"

#include "figures.h"
#include "references.h"
#include "report.h"
#include "sceneaccess.h"
#include "timing.h"

#include "terrain/elevation.h"
#include "world/levelstore.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldtables.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGLWidget>
#include <QWindow>

#include <cstdio>
#include <memory>

namespace {

const int windowSide = 500;
const int centre = windowSide / 2;
const char *const rawSaveName = "raw-save.dat";

// A field of /proc/self/status in MiB ("VmRSS", "VmHWM"); 0 when unknown.
double statusMiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0.0;
    const QByteArray prefix = QByteArray(field) + ':';
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0.0;
}

bool showAndPaint(QGLWidget &widget)
{
    widget.resize(windowSide, windowSide);
    widget.show();
    const QDeadlineTimer deadline(10000);
    while (!(widget.windowHandle() && widget.windowHandle()->isExposed()) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!widget.isValid())
        return false;
    widget.updateGL(); // initialises GL first if the expose has not yet done it
    QCoreApplication::processEvents();
    return true;
}

template <typename F> double finishedMs(F &&run)
{
    return elapsedMs([&] {
        run();
        glFinish();
    });
}

class Probe
{
public:
    explicit Probe(const ProbePlan &plan) : plan(plan) {}
    bool start();
    void measureAll();

private:
    void emitRow(const char *figure, const char *reference, double ours, double ref,
                 const char *unit = "ms");
    void measureLoad();
    void measureBuild();
    void measureFrame();
    void measurePick();
    void measureEdit();
    void measureSave();
    void measureRestore();

    Triangle *triangles() const { return SceneAccess::triangles(*scene); }

    const ProbePlan plan;
    QGLWidget driver; // loads the GL driver before the baseline is taken
    std::unique_ptr<Scene3D> scene;
    BareMesh mesh;
    GLfloat view[16] = {};
};

bool Probe::start()
{
    if (!showAndPaint(driver))
        return false;
    const double baseline = statusMiB("VmRSS");
    scene = std::make_unique<Scene3D>();
    if (!showAndPaint(*scene) || !triangles())
        return false;
    const double peak = statusMiB("VmHWM");
    emitRow(figures::peakRss, refs::rssBeforeLoad, peak, baseline, "MiB");
    const double perTriangle = (peak - baseline) * 1024.0 * 1024.0 / triangleCount;
    emitRow(figures::memoryPerTriangle, "", perTriangle, 0.0, "bytes");

    scene->makeCurrent();
    std::printf("renderer: %s\n", reinterpret_cast<const char *>(glGetString(GL_RENDERER)));
    mesh = bareMeshOf(triangles(), triangleCount);
    SceneAccess::paint(*scene);
    glGetFloatv(GL_MODELVIEW_MATRIX, view);
    return true;
}

void Probe::measureAll()
{
    measureLoad();
    measureBuild();
    measureFrame();
    measurePick();
    measureEdit();
    measureSave();
    measureRestore();
}

void Probe::emitRow(const char *figure, const char *reference, double ours, double ref,
                    const char *unit)
{
    Measurement m;
    m.figure = QString::fromLatin1(figure);
    m.reference = QString::fromLatin1(reference);
    m.subdivision = plan.subdivision;
    m.triangles = triangleCount;
    m.ours = ours;
    m.referenceValue = ref;
    m.unit = QString::fromLatin1(unit);
    std::printf("%s\n", qPrintable(toCsvLine(m)));
    std::fflush(stdout);
}

void Probe::measureLoad()
{
    const QStringList files = {headerFileName,  levelsFileName, coordsFileName,
                               cornersFileName, fansFileName,   demoFileName};
    const auto [ours, ref] = interleavedMedians(
        plan.lightReps, [] { return elapsedMs(loadWorld); },
        [&] { return elapsedMs([&] { readRaw(files); }); });
    emitRow(figures::load, refs::rawReadFiles, ours, ref);
}

// Each build starts with no lists at all, ours and the bare loop alike, so
// that both find GL's list names in the same state.
void Probe::measureBuild()
{
    scene->makeCurrent();
    const auto ours = [&] {
        SceneAccess::destroy(*scene);
        return finishedMs([&] { SceneAccess::build(*scene); });
    };
    const auto bare = [&] {
        glDeleteLists(Triangle::getListBase(), triangleCount);
        GLuint base = 0;
        const double ms = finishedMs([&] { base = compileBareLists(mesh); });
        glDeleteLists(base, triangleCount);
        return ms;
    };
    const auto [oursMs, bareMs] = interleavedMedians(plan.heavyReps, ours, bare);
    SceneAccess::destroy(*scene);
    SceneAccess::build(*scene);
    emitRow(figures::build, refs::bareLists, oursMs, bareMs);
}

void Probe::measureFrame()
{
    scene->makeCurrent();
    const GLuint base = Triangle::getListBase();
    const auto [ours, calls] = interleavedMedians(
        plan.heavyReps, [&] { return finishedMs([&] { SceneAccess::paint(*scene); }); },
        [&] {
            return finishedMs([&] {
                beginFrame(view);
                callLists(base, triangleCount);
            });
        });
    std::vector<double> arrays;
    for (int i = 0; i < plan.heavyReps; ++i)
        arrays.push_back(finishedMs([&] {
            beginFrame(view);
            drawVertexArrays(mesh);
        }));
    emitRow(figures::frame, refs::callLoop, ours, calls);
    emitRow(figures::frame, refs::vertexArrays, ours, median(arrays));
}

void Probe::measurePick()
{
    const float aspect = SceneAccess::aspect(*scene);
    const auto [ours, ref] = interleavedMedians(
        plan.heavyReps, [&] { return finishedMs([&] { scene->pickVertex(centre, centre); }); },
        [&] {
            scene->makeCurrent();
            return finishedMs([&] { selectionPass(mesh, centre, centre, aspect); });
        });
    emitRow(figures::pick, refs::selection, ours, ref);
}

// Raises the vertex under the window centre; a raise that changed the level
// is undone outside the count, so every run does the same work.
void Probe::measureEdit()
{
    const int vertex = selectedVertex;
    std::vector<double> runs;
    for (int i = 0; i < plan.lightReps; ++i) {
        const int before = getVertexLevel(vertex, triangles());
        runs.push_back(finishedMs([&] { scene->raiseVertex(vertex, triangles()); }));
        if (getVertexLevel(vertex, triangles()) != before)
            scene->lowerVertex(vertex, triangles());
    }
    emitRow(figures::edit, "", median(runs), 0.0);
}

void Probe::measureSave()
{
    const QByteArray bytes = encodeIntTable(vertexLevels);
    const QString rawPath = QString::fromLatin1(rawSaveName);
    const auto [ours, ref] = interleavedMedians(
        plan.lightReps, [&] { return elapsedMs([&] { scene->saveTerrain(); }); },
        [&] { return elapsedMs([&] { writeRaw(rawPath, bytes); }); });
    emitRow(figures::save, refs::rawWrite, ours, ref);
}

void Probe::measureRestore()
{
    const QStringList saved = {QString::fromLatin1(saveFileName)};
    const auto [ours, ref] = interleavedMedians(
        plan.heavyReps, [&] { return finishedMs([&] { scene->restoreTerrain(); }); },
        [&] { return elapsedMs([&] { readRaw(saved); }); });
    emitRow(figures::restore, refs::rawRead, ours, ref);
}

} // namespace

int runProbe(const ProbePlan &plan)
{
    if (!QDir::setCurrent(plan.worldDir)) {
        std::fprintf(stderr, "globe-bench: cannot enter %s\n", qPrintable(plan.worldDir));
        return 2;
    }
    Probe probe(plan);
    if (!probe.start()) {
        std::fprintf(stderr, "globe-bench: no GL window on this display\n");
        return 2;
    }
    probe.measureAll();
    return 0;
}
