#include "fuzz/fuzzentries.h"

#include "gdal/gdalsession.h"
#include "generator/meshcheck.h"
#include "meshes/drawnmesh.h"
#include "relief/heightmapimport.h"
#include "terrain/levelrules.h"
#include "world/levelstore.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldtables.h"
#include "world/worldwrite.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal.h>

const QByteArray worldPartSeparator("#GLOBE-PART#");
const QByteArray rasterPartSeparator("#GLOBE-RASTER#");
const WorldRecipe saveInputWorld{1, WorldRecipe::Random, 7, false};

namespace {

// A table the reader accepts must be exactly what its bytes say: encoding it
// again gives them back, trailing bytes aside.
template <typename T>
void decodePart(const QByteArray &bytes, QVector<T> &table, bool &allRead,
                TableRead (*decode)(const QString &, const QByteArray &, QVector<T> &),
                QByteArray (*encode)(const QVector<T> &), const char *name, QStringList &broken)
{
    const TableRead read = decode(QString::fromLatin1(name), bytes, table);
    allRead = allRead && read.ok();
    if (read.ok() && encode(table) != bytes.left(int(4 + 4 * qint64(read.declared))))
        broken << QStringLiteral("%1: accepted, but does not encode back to its bytes").arg(name);
}

void writeFileOrDie(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(file.errorString()));
}

// readDemoFlag takes a path, so demo.txt goes through a real file.
int demoFlagOf(const QByteArray &text)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(demoFileName));
    writeFileOrDie(path, text);
    return readDemoFlag(path);
}

// The tables as the loader reads them; the counts are left to the checks.
World decodeWorld(const QVector<QByteArray> &parts, bool &allRead, QStringList &broken)
{
    World w;
    decodePart(parts[0], w.header, allRead, decodeIntTable, encodeIntTable, headerFileName, broken);
    decodePart(parts[1], w.levels, allRead, decodeIntTable, encodeIntTable, levelsFileName, broken);
    decodePart(parts[2], w.coords, allRead, decodeFloatTable, encodeFloatTable, coordsFileName,
               broken);
    decodePart(parts[3], w.corners, allRead, decodeIntTable, encodeIntTable, cornersFileName,
               broken);
    decodePart(parts[4], w.fans, allRead, decodeIntTable, encodeIntTable, fansFileName, broken);
    if (demoFlagOf(parts[5]) != 0)
        applyDemoLevels(w.levels);
    return w;
}

class IndexAudit
{
public:
    explicit IndexAudit(QStringList &broken) : broken(broken) {}

    // True when index lies inside a table of size elements; otherwise records
    // the first such index only, as one bad table tends to break many.
    bool inside(qint64 index, int size, const char *table, const char *use)
    {
        if (index >= 0 && index < size)
            return true;
        if (!failed)
            broken << QStringLiteral("accepted world: %1 index %2 outside %3 (%4 elements)")
                          .arg(QLatin1String(use))
                          .arg(index)
                          .arg(QLatin1String(table))
                          .arg(size);
        failed = true;
        return false;
    }

private:
    QStringList &broken;
    bool failed = false;
};

// The reads of Triangle's constructor: a row of corners, then each corner's
// level and angles.
void auditTriangles(const World &w, qint64 triangles, IndexAudit &audit)
{
    for (qint64 t = 0; t < triangles; ++t) {
        for (int k = 0; k < 3; ++k) {
            if (!audit.inside(4 * t + k, w.corners.size(), cornersFileName, "corner"))
                return;
            const int v = w.corners[int(4 * t + k)];
            if (!audit.inside(v, w.levels.size(), levelsFileName, "level") ||
                !audit.inside(2 * qint64(v) + 1, w.coords.size(), coordsFileName, "angle"))
                return;
        }
    }
}

// The reads of an edit and of the marker: the six fan entries, and in each
// fan triangle the corner that is the vertex (an edit that cannot find it
// would change another vertex's corner).
void auditFans(const World &w, qint64 vertices, IndexAudit &audit, QStringList &broken)
{
    for (qint64 v = 0; v < vertices; ++v) {
        for (int k = 0; k < 6; ++k) {
            if (!audit.inside(6 * v + k, w.fans.size(), fansFileName, "fan"))
                return;
            const int t = w.fans[int(6 * v + k)];
            if (!audit.inside(4 * qint64(t) + 2, w.corners.size(), cornersFileName, "fan row"))
                return;
            const int *row = w.corners.constData() + 4 * t;
            if (row[0] != v && row[1] != v && row[2] != v) {
                broken << QStringLiteral("accepted world: vertex %1 fan triangle %2 lacks it")
                              .arg(v)
                              .arg(t);
                return;
            }
        }
    }
}

// The level rules run on every level at the world's subdivision, so that the
// sanitizers see the arithmetic of any header the checker lets through.
void applyLevelRules(const QVector<int> &levels, int subdivision)
{
    for (int level : levels) {
        float red, green, blue;
        const float radius = radiusOfLevel(level, subdivision);
        levelColor(level, red, green, blue);
        Q_UNUSED(radius);
    }
}

void useAcceptedWorld(const World &w, QStringList &broken)
{
    const qint64 vertices = headerVertexCount(w.header);
    const qint64 triangles = headerTriangleCount(w.header);
    IndexAudit audit(broken);
    auditTriangles(w, triangles, audit);
    auditFans(w, vertices, audit, broken);
    if (!broken.isEmpty())
        return;
    applyLevelRules(w.levels.mid(0, int(vertices)), w.header[0]);
    checkMeshProperties(w.header, w.coords, w.corners, w.fans);
    worldSummary(w.header, w.levels);
}

// The world that save inputs are restored into, as the window holds it after
// loading: its levels and its vertex count.
struct SaveWorld
{
    QTemporaryDir dir;
    QVector<int> levels;
    int vertices = 0;

    SaveWorld()
    {
        const World world = generateWorld(saveInputWorld);
        const Status written = writeWorld(dir.path(), world);
        if (!written.ok())
            qFatal("%s", qPrintable(written.message()));
        levels = world.levels;
        vertices = world.vertexCount;
    }
};

// Restores run in the world's folder, as the editor's do; the caller's
// working directory comes back afterwards.
class WorkingDirectory
{
public:
    explicit WorkingDirectory(const QString &dir) : previous(QDir::currentPath())
    {
        QDir::setCurrent(dir);
    }
    ~WorkingDirectory() { QDir::setCurrent(previous); }
    WorkingDirectory(const WorkingDirectory &) = delete;
    WorkingDirectory &operator=(const WorkingDirectory &) = delete;

private:
    QString previous;
};

QStringList judgeRestore(const QByteArray &input, bool restored, const QString &error,
                         const SaveWorld &world)
{
    QVector<int> decoded;
    const bool complete = decodeIntTable(QStringLiteral("save.dat"), input, decoded).ok() &&
                          decoded.size() == world.vertices;
    QStringList broken;
    if (restored != complete)
        broken << QStringLiteral("save.dat: restore %1 a file that is %2")
                      .arg(restored ? "accepted" : "refused")
                      .arg(complete ? "complete" : "not one level per vertex");
    if (restored && vertexLevels != decoded)
        broken << QStringLiteral("save.dat: restored levels differ from the file");
    if (!restored && vertexLevels != world.levels)
        broken << QStringLiteral("save.dat: a refused restore changed the levels");
    if (!restored && !error.startsWith(QStringLiteral("save.dat: ")))
        broken << QStringLiteral("save.dat: refusal does not name the file: ") + error;
    return broken;
}

// The world rasters are imported into, loaded once per process.
struct RasterWorld
{
    DrawnMesh mesh;

    RasterWorld()
    {
        mesh = drawnMesh(generateWorld({2, WorldRecipe::Random, 5, false}));
        GDALAllRegister();
    }
};

LevelScale scaleOf(const QByteArray &input)
{
    LevelScale scale;
    const auto byte = [&input](int k) { return k < input.size() ? quint8(input[k]) : 0; };
    scale.hasSeaLevel = byte(0) & 1;
    scale.seaLevel = 10.0 * qint8(byte(1));
    scale.hasPeak = scale.hasSeaLevel && (byte(0) & 2);
    scale.peak = scale.seaLevel + byte(2) + 1;
    scale.noDataIsSea = byte(0) & 4;
    return scale;
}

// A claim past the fuzzing bound is left alone (see rasterFuzzSamples).
bool withinFuzzBound(const QString &path)
{
    CPLPushErrorHandler(CPLQuietErrorHandler);
    GDALDatasetH dataset = GDALOpen(path.toUtf8().constData(), GA_ReadOnly);
    CPLPopErrorHandler();
    if (!dataset)
        return true; // the import must refuse it
    const qint64 samples = qint64(GDALGetRasterXSize(dataset)) * GDALGetRasterYSize(dataset);
    GDALClose(dataset);
    return samples <= rasterFuzzSamples;
}

QStringList judgeImport(const Status &imported, const QVector<int> &levels,
                        const QStringList &paths, const QVector<int> &before,
                        const ImportSummary &summary)
{
    QStringList broken;
    if (!imported.ok()) {
        const QString error = imported.message();
        const bool named = std::any_of(paths.begin(), paths.end(), [&](const QString &path) {
            return error.startsWith(path + QStringLiteral(": "));
        });
        if (!named || error.contains('\n') || levels != before)
            broken << QStringLiteral("refusal is not one line naming the file, or changed the "
                                     "levels: ") +
                          error;
        return broken;
    }
    if (levels.size() != before.size())
        broken << QStringLiteral("import gave %1 levels for %2 vertices")
                      .arg(levels.size())
                      .arg(before.size());
    for (int v = 0; v < levels.size(); ++v) {
        if (levels[v] < 0 || levels[v] > 9) {
            broken << QStringLiteral("import gave vertex %1 level %2").arg(v).arg(levels[v]);
            break;
        }
    }
    const bool reached = std::any_of(summary.rasters.begin(), summary.rasters.end(),
                                     [](const RasterSummary &r) { return r.took + r.noData > 0; });
    if (!reached && levels != before)
        broken << QStringLiteral("import reached no vertex, but changed the levels");
    return broken;
}

} // namespace

QVector<QByteArray> splitRasterInput(const QByteArray &rasters)
{
    QVector<QByteArray> parts;
    int from = 0;
    for (int at; parts.size() < maxFuzzRasters - 1 &&
                 (at = rasters.indexOf(rasterPartSeparator, from)) >= 0;
         from = at + rasterPartSeparator.size())
        parts << rasters.mid(from, at - from);
    return parts << rasters.mid(from);
}

QVector<QByteArray> splitWorldInput(const QByteArray &input)
{
    QVector<QByteArray> parts;
    int from = 0;
    while (parts.size() < worldPartCount - 1) {
        const int at = input.indexOf(worldPartSeparator, from);
        if (at < 0)
            break;
        parts << input.mid(from, at - from);
        from = at + worldPartSeparator.size();
    }
    parts << input.mid(from);
    parts.resize(worldPartCount);
    return parts;
}

QByteArray joinWorldInput(const QVector<QByteArray> &parts)
{
    QByteArray input;
    for (int k = 0; k < parts.size(); ++k)
        input += (k > 0 ? worldPartSeparator : QByteArray()) + parts[k];
    return input;
}

QStringList checkWorldInput(const QByteArray &input)
{
    QStringList broken;
    bool allRead = true;
    const World world = decodeWorld(splitWorldInput(input), allRead, broken);
    const QStringList problems =
        checkWorldTables(world.header, world.levels, world.coords, world.corners, world.fans);
    if (allRead && problems.isEmpty())
        useAcceptedWorld(world, broken);
    return broken;
}

QStringList checkSaveInput(const QByteArray &input)
{
    static const SaveWorld world;
    vertexLevels = world.levels;
    vertexCount = world.vertices;
    writeFileOrDie(world.dir.filePath(QString::fromLatin1(saveFileName)), input);
    Status restored;
    {
        const WorkingDirectory inWorld(world.dir.path());
        restored = loadSavedLevels();
    }
    const QStringList broken = judgeRestore(input, restored.ok(), restored.message(), world);
    if (restored.ok())
        applyLevelRules(vertexLevels, saveInputWorld.subdivision);
    return broken;
}

QStringList checkRasterInput(const QByteArray &input)
{
    static const RasterWorld world;
    const QVector<QByteArray> parts = splitRasterInput(input.mid(3));
    QStringList paths;
    for (int k = 0; k < parts.size(); ++k) {
        paths << QStringLiteral("/vsimem/relief%1").arg(k);
        VSIFCloseL(VSIFileFromMemBuffer(
            paths[k].toUtf8().constData(),
            reinterpret_cast<GByte *>(const_cast<char *>(parts[k].constData())),
            vsi_l_offset(parts[k].size()), FALSE));
    }
    QStringList broken;
    if (std::all_of(paths.begin(), paths.end(), withinFuzzBound)) {
        // Over the world's own levels, as an import is: what no raster
        // reaches must keep its level.
        QVector<int> levels = world.mesh.levels;
        ImportSummary summary;
        const Status imported = applyRasters(paths, world.mesh, scaleOf(input), levels, &summary);
        broken = judgeImport(imported, levels, paths, world.mesh.levels, summary);
    }
    for (const QString &path : paths)
        VSIUnlink(path.toUtf8().constData());
    return broken;
}

const QStringList doorRasterNames{"r.tif", "r.png", "r.nc",  "r.h5",
                                  "r.hdf", "r.vrt", "r.asc", "r.bil"};
const QStringList doorSideNames{".ovr", ".msk", ".aux.xml", ".aux",  ".prj",   ".tfw",
                                ".pgw", ".wld", ".hdr",     ".ncrc", "/s.tif", "/../s.tif"};

namespace {

// The fuzzer's own folder on disk, emptied before each input, and a FIFO
// outside it that any link followed would hang on.
struct DoorFolder
{
    QTemporaryDir root;
    QString folder, fifo;

    DoorFolder() : folder(root.filePath("in")), fifo(root.filePath("fifo"))
    {
        ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
    }
};

void placeSide(const QString &name, const QByteArray &part, const QString &fifo)
{
    const QByteArray path = QFile::encodeName(name);
    const quint8 kind = part.isEmpty() ? 0 : quint8(part[0]);
    QDir().mkpath(QFileInfo(name).absolutePath());
    QFile::remove(name); // a part named twice: a FIFO left there would block the write
    if (kind & 0x80) {
        QFile::link(fifo, name);
    } else if (kind & 0x40) {
        ::mkfifo(path.constData(), 0600);
    } else {
        QFile file(name);
        if (file.open(QIODevice::WriteOnly))
            file.write(part.mid(1));
    }
}

} // namespace

QStringList checkDoorInput(const QByteArray &input)
{
    static const DoorFolder where;
    static const GdalSession session;
    QDir(where.folder).removeRecursively();
    QDir().mkpath(where.folder);
    QVector<QByteArray> parts;
    for (int from = 0, at; from <= input.size(); from = at + rasterPartSeparator.size()) {
        at = input.indexOf(rasterPartSeparator, from);
        if (at < 0)
            at = input.size();
        parts << input.mid(from, at - from);
        if (parts.size() > 8)
            break;
    }
    const QByteArray &main = parts[0];
    const QString raster =
        where.folder + '/' +
        doorRasterNames[(main.isEmpty() ? 0 : quint8(main[0])) % doorRasterNames.size()];
    QFile file(raster);
    if (file.open(QIODevice::WriteOnly))
        file.write(main.mid(1));
    file.close();
    for (int k = 1; k < parts.size(); ++k) {
        const quint8 pick = parts[k].isEmpty() ? 0 : quint8(parts[k][0]);
        const QString side = doorSideNames[(pick & 0x3f) % doorSideNames.size()];
        placeSide(side.startsWith('/') ? where.folder + side
                  : side == ".ncrc"
                      ? where.folder + "/" + side
                      : QFileInfo(raster).path() + "/" + QFileInfo(raster).completeBaseName() +
                            (side == ".ovr" || side == ".msk" || side == ".aux.xml"
                                 ? "." + QFileInfo(raster).suffix() + side
                                 : side),
                  parts[k], where.fifo);
    }
    GdalDataset dataset;
    const Status opened = openRaster(raster, dataset);
    QStringList broken;
    if (opened.ok() != bool(dataset))
        broken << QStringLiteral("r: openRaster's status and dataset disagree");
    if (!opened.ok() && (opened.lines().size() != 1 || opened.message().contains('\n') ||
                         !opened.message().contains("r.")))
        broken << QStringLiteral("r: refusal not one line naming the raster: ") + opened.message();
    if (dataset && GDALGetRasterCount(dataset.get()) > 0) {
        GDALRasterBandH band = GDALGetRasterBand(dataset.get(), 1);
        GDALGetOverviewCount(band);
        GDALGetMaskFlags(band);
        CSLDestroy(GDALGetFileList(dataset.get()));
    }
    return broken;
}
