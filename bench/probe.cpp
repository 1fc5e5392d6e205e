#include "probe.h"

#include "figures.h"
#include "references.h"
#include "report.h"
#include "sceneaccess.h"
#include "timing.h"

#include "terrain/elevation.h"
#include "world/levelstore.h"
#include "world/meshrules.h"
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
#include <chrono>
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

// Our build is one array construction, so its eighths are stamped from
// inside: glNewList is wrapped at link time (bench/CMakeLists.txt), and the
// compile of the first list of every sixteenth of an eighth notes the time.
// An eighth's cost per list is the median of its sixteen parts, so that a
// burst of other work on the shared machine does not pass for growth (at
// S = 8 the build runs once). Lists outside the triangles' block (the plain
// sequence's) pass by.
class EighthClock
{
public:
    void arm(int lists)
    {
        count = lists;
        next = 0;
    }
    void disarm() { next = parts; }
    void note(GLuint list)
    {
        // In worlds of fewer lists than parts, one list starts several.
        while (next < parts && list == Triangle::getListBase() + boundary(next))
            marks[size_t(next++)] = std::chrono::steady_clock::now();
    }
    // Microseconds per list of eighth e, once the build is over at `end`.
    double perListUs(int e, std::chrono::steady_clock::time_point end) const
    {
        std::vector<double> rates;
        for (int p = e * partsPerEighth; p < (e + 1) * partsPerEighth; ++p) {
            const auto to = p + 1 < parts ? marks[size_t(p) + 1] : end;
            const std::chrono::duration<double, std::micro> d = to - marks[size_t(p)];
            rates.push_back(d.count() / double(std::max(1u, boundary(p + 1) - boundary(p))));
        }
        return median(rates);
    }

private:
    static constexpr int partsPerEighth = 16;
    static constexpr int parts = eighths * partsPerEighth;
    GLuint boundary(int p) const { return GLuint((long long)count * p / parts); }

    int count = 0;
    int next = parts; // disarmed
    std::array<std::chrono::steady_clock::time_point, parts> marks{};
};

EighthClock ourBuildClock;

} // namespace

extern "C" {
void __real_glNewList(GLuint list, GLenum mode);
void __wrap_glNewList(GLuint list, GLenum mode)
{
    ourBuildClock.note(list);
    __real_glNewList(list, mode);
}
}

namespace {

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

    double plainBuildMs(std::vector<double> *first, std::vector<double> *last);
    double ourBuildMs(std::vector<double> &first, std::vector<double> &last);
    double bareFrameMs();
    double editMs(int vertex);
    double plainEditMs(int vertex);
    bool plain() const { return plan.plainReps > 0; }
    Triangle *triangles() const { return SceneAccess::triangles(*scene); }

    const ProbePlan plan;
    QGLWidget driver; // loads the GL driver before the baseline is taken
    std::unique_ptr<Scene3D> scene;
    BareMesh mesh;
    GLuint plainBase = 0; // the plain sequence's block, once built
    double ourBytesPerTriangle = 0.0;
    double plainBytesPerTriangle = 0.0;
    GLfloat view[16] = {};
};

bool Probe::start()
{
    if (!showAndPaint(driver))
        return false;
    const double baseline = statusMiB("VmRSS");
    // A failed restore is already on stderr; a box would stop the run.
    Scene3D::setWarningHandler([](QWidget *, const QString &, const QString &) {});
    scene = std::make_unique<Scene3D>();
    if (!showAndPaint(*scene) || !triangles())
        return false;
    const double peak = statusMiB("VmHWM");
    emitRow(figures::peakRss, refs::rssBeforeLoad, peak, baseline, "MiB");
    ourBytesPerTriangle = (peak - baseline) * 1024.0 * 1024.0 / triangleCount;

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
        plan.lightReps, [] { return elapsedMs([] { loadWorld(); }); },
        [&] { return elapsedMs([&] { readRaw(files); }); }, checks);
    emitRow(figures::load, refs::rawReadFiles, ours, raw);
    emitRow(figures::loadChecks, refs::rawReadFiles, checksMs, raw);
}

// The plain sequence replaces its block as a restore would: the old block
// deleted, a new one reserved and filled. Its eighths are timed apart to
// show whether a list costs more once many exist. Its lists lie above ours
// in Mesa's store: below them, their part-used words would make every one
// of our later lists scan past them.
double Probe::plainBuildMs(std::vector<double> *first, std::vector<double> *last)
{
    std::array<double, eighths> chunk{};
    const double ms = finishedMs([&] {
        if (plainBase != 0)
            glDeleteLists(plainBase, triangleCount);
        plainBase = glGenLists(triangleCount);
        for (int e = 0; e < eighths; ++e)
            chunk[size_t(e)] = elapsedMs([&] {
                compileBareLists(mesh, plainBase, triangleCount * e / eighths,
                                 triangleCount * (e + 1) / eighths);
            });
    });
    const double perList = 1000.0 * eighths / triangleCount;
    if (first)
        first->push_back(chunk.front() * perList);
    if (last)
        last->push_back(chunk.back() * perList);
    return ms;
}

double Probe::ourBuildMs(std::vector<double> &first, std::vector<double> &last)
{
    SceneAccess::destroy(*scene);
    ourBuildClock.arm(triangleCount);
    std::chrono::steady_clock::time_point end;
    const double ms = finishedMs([&] {
        SceneAccess::build(*scene);
        end = std::chrono::steady_clock::now();
    });
    first.push_back(ourBuildClock.perListUs(0, end));
    last.push_back(ourBuildClock.perListUs(eighths - 1, end));
    ourBuildClock.disarm();
    return ms;
}

// Ours last in every round, so that the window keeps its own lists. The
// plain sequence's first build also gives what its lists hold in memory.
void Probe::measureBuild()
{
    scene->makeCurrent();
    std::vector<double> ours, plainMs, first, last, plainFirst, plainLast;
    for (int i = 0; i < std::max(plan.buildReps, plan.plainReps); ++i) {
        if (i < plan.plainReps) {
            const double before = statusMiB("VmRSS");
            plainMs.push_back(plainBuildMs(&plainFirst, &plainLast));
            if (i == 0)
                plainBytesPerTriangle =
                    (statusMiB("VmRSS") - before) * 1024.0 * 1024.0 / triangleCount;
        }
        if (i < plan.buildReps)
            ours.push_back(ourBuildMs(first, last));
    }
    if (plain()) {
        emitRow(figures::build, refs::plainSequence, median(ours), median(plainMs));
        emitRow(figures::memoryPerTriangle, refs::plainMemory, ourBytesPerTriangle,
                plainBytesPerTriangle, "bytes");
        emitRow(figures::plainFirstEighth, "", median(plainFirst), 0.0, "us");
        emitRow(figures::plainLastEighth, "", median(plainLast), 0.0, "us");
    } else {
        emitRow(figures::build, "", median(ours), 0.0);
        emitRow(figures::memoryPerTriangle, "", ourBytesPerTriangle, 0.0, "bytes");
    }
    emitRow(figures::listsFirstEighth, "", median(first), 0.0, "us");
    emitRow(figures::listsLastEighth, refs::firstEighth, median(last), median(first), "us");
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
// work that later frames do not. Each reference is interleaved with ours in
// a pass of its own, so that ours and the bare loop of the same lists both
// follow each other, not the plain sequence, whose lists push everything
// else out of the caches. The vertex arrays run apart, after the others:
// switching between arrays and lists costs the next frame extra.
void Probe::measureFrame()
{
    scene->makeCurrent();
    const auto ours = [&] { return finishedMs([&] { SceneAccess::paint(*scene); }); };
    const auto calls = [&] { return bareFrameMs(); };
    const auto plainCalls = [&] {
        return finishedMs([&] {
            beginFrame(view);
            callLists(plainBase, triangleCount);
        });
    };
    const auto arrays = [&] {
        return finishedMs([&] {
            beginFrame(view);
            drawVertexArrays(mesh);
        });
    };
    interleavedMedians(1, ours, calls);
    const auto [oursMs, callsMs] = interleavedMedians(plan.frameReps, ours, calls);
    emitRow(figures::frame, refs::callLoop, oursMs, callsMs);
    if (plain()) {
        interleavedMedians(1, ours, plainCalls);
        const auto [oursBesidePlain, plainMs] =
            interleavedMedians(plan.frameReps, ours, plainCalls);
        emitRow(figures::frame, refs::plainCallLoop, oursBesidePlain, plainMs);
    }
    interleavedMedians(1, arrays);
    const auto [arraysMs] = interleavedMedians(plan.frameReps, arrays);
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

// The plain sequence's edit: the same five or six lists compiled again in
// place, as the editor did before.
double Probe::plainEditMs(int vertex)
{
    const int *fan = vertexFans.constData() + 6 * vertex;
    std::vector<double> runs;
    for (int i = 0; i < plan.lightReps; ++i)
        runs.push_back(finishedMs([&] {
            for (int k = 0; k < fanTriangleCount(fan); ++k)
                compileBareLists(mesh, plainBase, fan[k], fan[k] + 1);
        }));
    return median(runs);
}

void Probe::measureEdit()
{
    const int centre = selectedVertex;
    emitRow(figures::edit, "", editMs(centre), 0.0);
    emitRow(figures::editPole, "", editMs(0), 0.0);
    if (plain())
        emitRow(figures::edit, refs::plainSequence, editMs(centre), plainEditMs(centre));
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
    if (!plain())
        return;
    std::vector<double> plainMs;
    for (int i = 0; i < plan.plainReps; ++i)
        plainMs.push_back(elapsedMs([&] {
            readRaw(saved);
            plainBuildMs(nullptr, nullptr);
        }));
    emitRow(figures::restore, refs::plainSequence, ours, median(plainMs));
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
