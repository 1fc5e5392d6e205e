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

#include <array>
#include <cstdio>
#include <memory>

namespace {

const int windowSide = 500;
const int centre = windowSide / 2;
const int eighths = 8;
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
    void measureListCosts();
    void measureFrame();
    void measurePick();
    void measureEdit();
    void measureSave();
    void measureRestore();

    double bareBuildMs(std::vector<double> &first, std::vector<double> &last);
    double bareFrameMs();
    double editMs(int vertex);
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
    measureListCosts();
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

// The checks are timed alone as well: they are work the raw read never does.
void Probe::measureLoad()
{
    const QStringList files = {headerFileName,  levelsFileName, coordsFileName,
                               cornersFileName, fansFileName,   demoFileName};
    const auto checks = [] {
        return elapsedMs([] {
            checkWorldTables(worldHeader, vertexLevels, vertexCoords, triangleCorners, vertexFans);
        });
    };
    const auto [ours, raw, checksMs] = interleavedMedians(
        plan.lightReps, [] { return elapsedMs(loadWorld); },
        [&] { return elapsedMs([&] { readRaw(files); }); }, checks);
    emitRow(figures::load, refs::rawReadFiles, ours, raw);
    emitRow(figures::loadChecks, refs::rawReadFiles, checksMs, raw);
}

// The bare loop starts from no lists at all, as ours does, so that both find
// GL's list names in the same state; its first and last eighths are timed
// apart to show whether a list costs more once many exist.
double Probe::bareBuildMs(std::vector<double> &first, std::vector<double> &last)
{
    glDeleteLists(Triangle::getListBase(), triangleCount);
    std::array<double, eighths> chunk{};
    GLuint base = 0;
    const double ms = finishedMs([&] {
        base = glGenLists(triangleCount);
        for (int e = 0; e < eighths; ++e)
            chunk[size_t(e)] = elapsedMs([&] {
                compileBareLists(mesh, base, triangleCount * e / eighths,
                                 triangleCount * (e + 1) / eighths);
            });
    });
    const double perList = 1000.0 * eighths / triangleCount;
    first.push_back(chunk.front() * perList);
    last.push_back(chunk.back() * perList);
    glDeleteLists(base, triangleCount);
    return ms;
}

void Probe::measureBuild()
{
    scene->makeCurrent();
    std::vector<double> first, last;
    const auto ours = [&] {
        SceneAccess::destroy(*scene);
        return finishedMs([&] { SceneAccess::build(*scene); });
    };
    // Bare first, so that the last build of all is ours and the window keeps it.
    const auto [bareMs, oursMs] = interleavedMedians(
        plan.buildReps, [&] { return bareBuildMs(first, last); }, ours);
    emitRow(figures::build, refs::bareLists, oursMs, bareMs);
    emitRow(figures::listsFirstEighth, "", median(first), 0.0, "us");
    emitRow(figures::listsLastEighth, "", median(last), 0.0, "us");
}

// Reserving names and compiling lists with nothing in them, while the
// window's lists exist: the parts of a list's cost that content does not add.
void Probe::measureListCosts()
{
    scene->makeCurrent();
    std::vector<double> reserve, empty;
    const double perList = 1000.0 / triangleCount;
    for (int i = 0; i < plan.buildReps; ++i) {
        GLuint base = 0;
        reserve.push_back(elapsedMs([&] { base = glGenLists(triangleCount); }) * perList);
        empty.push_back(finishedMs([&] { compileEmptyLists(base, triangleCount); }) * perList);
        glDeleteLists(base, triangleCount);
    }
    emitRow(figures::listsReserve, "", median(reserve), 0.0, "us");
    emitRow(figures::listsEmpty, "", median(empty), 0.0, "us");
}

double Probe::bareFrameMs()
{
    return finishedMs([&] {
        beginFrame(view);
        callLists(Triangle::getListBase(), triangleCount);
    });
}

// One frame of each kind first, untimed: the first replay after a build does
// work that later frames do not. The vertex arrays run apart, after the
// others: switching between arrays and lists costs the next frame extra.
void Probe::measureFrame()
{
    scene->makeCurrent();
    const auto ours = [&] { return finishedMs([&] { SceneAccess::paint(*scene); }); };
    const auto calls = [&] { return bareFrameMs(); };
    const auto arrays = [&] {
        return finishedMs([&] {
            beginFrame(view);
            drawVertexArrays(mesh);
        });
    };
    interleavedMedians(1, ours, calls);
    const auto [oursMs, callsMs] = interleavedMedians(plan.frameReps, ours, calls);
    interleavedMedians(1, arrays);
    const auto [arraysMs] = interleavedMedians(plan.frameReps, arrays);
    emitRow(figures::frame, refs::callLoop, oursMs, callsMs);
    emitRow(figures::frame, refs::vertexArrays, oursMs, arraysMs);
}

// A pick repaints the window when it is done (updateGL), so it is set beside
// the selection pass alone and beside the selection pass with a bare frame.
void Probe::measurePick()
{
    const float aspect = SceneAccess::aspect(*scene);
    const auto ours = [&] { return finishedMs([&] { scene->pickVertex(centre, centre); }); };
    const auto selection = [&] {
        scene->makeCurrent();
        return finishedMs([&] { selectionPass(mesh, centre, centre, aspect); });
    };
    const auto selectionAndFrame = [&] {
        scene->makeCurrent();
        return finishedMs([&] {
            selectionPass(mesh, centre, centre, aspect);
            bareFrameMs();
            scene->swapBuffers();
        });
    };
    const auto [oursMs, selectionMs, bothMs] =
        interleavedMedians(plan.frameReps, ours, selection, selectionAndFrame);
    emitRow(figures::pick, refs::selection, oursMs, selectionMs);
    emitRow(figures::pick, refs::selectionAndFrame, oursMs, bothMs);
}

// Raises the vertex under the window centre, and vertex 0 at the pole, whose
// fan holds the first lists of the block; a raise that changed the level is
// undone outside the count, so every run does the same work.
double Probe::editMs(int vertex)
{
    std::vector<double> runs;
    for (int i = 0; i < plan.lightReps; ++i) {
        const int before = getVertexLevel(vertex, triangles());
        runs.push_back(finishedMs([&] { scene->raiseVertex(vertex, triangles()); }));
        if (getVertexLevel(vertex, triangles()) != before)
            scene->lowerVertex(vertex, triangles());
    }
    return median(runs);
}

void Probe::measureEdit()
{
    emitRow(figures::edit, "", editMs(selectedVertex), 0.0);
    emitRow(figures::editPole, "", editMs(0), 0.0);
}

void Probe::measureSave()
{
    const QByteArray bytes = encodeIntTable(vertexLevels);
    const QString rawPath = QString::fromLatin1(rawSaveName);
    const auto [oursMs, rawMs, durableMs] = interleavedMedians(
        plan.lightReps, [&] { return elapsedMs([&] { scene->saveTerrain(); }); },
        [&] { return elapsedMs([&] { writeRaw(rawPath, bytes); }); },
        [&] { return elapsedMs([&] { replaceDurably(rawPath, bytes); }); });
    emitRow(figures::save, refs::rawWrite, oursMs, rawMs);
    emitRow(figures::save, refs::durableReplace, oursMs, durableMs);
}

void Probe::measureRestore()
{
    const QStringList saved = {QString::fromLatin1(saveFileName)};
    const auto [ours, ref] = interleavedMedians(
        plan.buildReps, [&] { return finishedMs([&] { scene->restoreTerrain(); }); },
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
