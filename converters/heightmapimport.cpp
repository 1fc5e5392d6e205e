#include "converters/heightmapimport.h"

#include "converters/reliefraster.h"
#include "converters/vertexsampler.h"
#include "converters/worldmap.h"
#include "world/filenames.h"
#include "world/regularfile.h"
#include "world/tablefile.h"
#include "world/worldload.h"

#include <QDir>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

const char *const levelsBackupSuffix = ".bak";

namespace {

// Rows a strip holds: about 32 MiB of samples.
const qint64 stripBytes = qint64(32) << 20;
// Far above the levels of the largest world generate makes (2.6 MB).
const qint64 levelsFileLimit = qint64(1) << 30;

int levelAboveSea(double value, double sea, double peak)
{
    if (!(value > sea))
        return 0;
    if (value > peak)
        return 9;
    const double step = std::floor((value - sea) / (peak - sea) * 9);
    // NaN (a range too wide for a double) counts as the lowest land.
    return 1 + (!(step > 0) ? 0 : step >= 8 ? 8 : int(step));
}

// One raster's vertex means and states, and the range of its samples.
struct Sampled
{
    std::vector<double> means;
    std::vector<unsigned char> states;
    bool unsignedType = false;
    double typeLow = 0, typeHigh = 0;
};

// One pass over the raster, strip by strip.
Status sampleRaster(const QString &path, const DrawnMesh &mesh, Sampled &out,
                    RasterSummary &summary, const ImportProgress &progress, double progressFrom,
                    double progressSpan)
{
    ReliefRaster raster;
    QString error;
    if (!raster.open(path, &error) || !raster.prepare(wantedGridWidth(mesh), &error))
        return Status::refused(error);
    const SampleGrid &grid = raster.grid();
    summary.path = path;
    summary.subdataset = raster.subdataset();
    summary.width = raster.width();
    summary.height = raster.height();
    summary.gridRegistered = grid.gridRegistered;
    summary.georeferenced = raster.georeferenced();
    summary.warped = raster.warped();
    summary.gridWidth = grid.width;
    summary.gridRows = grid.rows();
    out.unsignedType = raster.typeRange(&out.typeLow, &out.typeHigh);

    const MeshRaster placed(mesh, grid);
    VertexSampler sampler(placed);
    const int rows = raster.endRow() - raster.firstRow();
    // No more rows than the raster covers: a small raster must not cost a
    // whole strip's allocation.
    const int stripRows = int(std::clamp<qint64>(
        stripBytes / (qint64(grid.width) * qint64(sizeof(double) + 1)), 1, std::max(rows, 1)));
    std::vector<double> values(size_t(grid.width) * size_t(stripRows));
    std::vector<unsigned char> states(values.size());
    double lowest = std::numeric_limits<double>::infinity(), highest = -lowest;
    for (int y = raster.firstRow(); y < raster.endRow(); y += stripRows) {
        const int count = std::min(stripRows, raster.endRow() - y);
        if (!raster.readRows(y, count, values.data(), states.data(), &error))
            return Status::refused(error);
        for (int r = 0; r < count; ++r) {
            const size_t at = size_t(r) * size_t(grid.width);
            for (int x = 0; x < grid.width; ++x) {
                if (states[at + size_t(x)] == ReliefRaster::Data) {
                    lowest = std::min(lowest, values[at + size_t(x)]);
                    highest = std::max(highest, values[at + size_t(x)]);
                }
            }
            sampler.addRow(y + r, values.data() + at, states.data() + at);
        }
        if (progress.function)
            progress.function(progressFrom + progressSpan * (y + count - raster.firstRow()) / rows,
                              nullptr, progress.data);
    }
    if (!(lowest <= highest))
        return Status::refused(QStringLiteral("%1: holds no sample with data").arg(path));
    summary.lowest = lowest;
    summary.highest = highest;
    out.means = sampler.means();
    out.states = sampler.states();
    summary.vertices = mesh.vertexCount();
    return Status();
}

// The bands over the heights the vertices end with: later rasters over
// earlier ones, as the levels are laid.
AreaBands landBands(const std::vector<Sampled> &sampled, const DrawnMesh &mesh,
                    const LevelScale &scale)
{
    const std::vector<double> areas = vertexAreas(mesh);
    std::vector<LandSample> land;
    for (size_t v = 0; v < areas.size(); ++v) {
        for (auto one = sampled.rbegin(); one != sampled.rend(); ++one) {
            const bool seaNow = scale.noDataIsSea && one->states[v] == VertexSampler::NoData;
            if (one->states[v] == VertexSampler::Data)
                land.push_back({one->means[v], areas[v]});
            if (one->states[v] == VertexSampler::Data || seaNow)
                break;
        }
    }
    return equalAreaBands(std::move(land), scale.seaLevel);
}

} // namespace

int wantedGridWidth(const DrawnMesh &mesh)
{
    // 10 x 4^S + 2 vertices.
    const double across = std::sqrt(std::max(0, mesh.vertexCount() - 2) / 10.0);
    const double width = 32 * std::max(1.0, across);
    return int(std::min<double>(ReliefRaster::nativeColumnLimit, std::ceil(width / 2) * 2));
}

Status applyRasters(const QStringList &paths, const DrawnMesh &mesh, const LevelScale &scale,
                    QVector<int> &levels, ImportSummary *summary, const ImportProgress &progress)
{
    std::vector<Sampled> sampled(size_t(paths.size()));
    ImportSummary found;
    for (int i = 0; i < paths.size(); ++i) {
        RasterSummary one;
        const Status status = sampleRaster(paths[i], mesh, sampled[size_t(i)], one, progress,
                                           double(i) / paths.size(), 1.0 / paths.size());
        if (!status.ok())
            return status;
        found.rasters << one;
    }
    // One scale for every raster.
    double lowest = std::numeric_limits<double>::infinity(), highest = -lowest;
    double peak = -std::numeric_limits<double>::infinity();
    bool allUnsigned = !sampled.empty();
    double typeHigh = 0;
    for (size_t i = 0; i < sampled.size(); ++i) {
        lowest = std::min(lowest, found.rasters[int(i)].lowest);
        highest = std::max(highest, found.rasters[int(i)].highest);
        allUnsigned = allUnsigned && sampled[i].unsignedType;
        typeHigh = std::max(typeHigh, sampled[i].typeHigh);
        for (size_t v = 0; v < sampled[i].means.size(); ++v) {
            if (sampled[i].states[v] == VertexSampler::Data)
                peak = std::max(peak, sampled[i].means[v]);
        }
    }
    if (scale.hasSeaLevel) {
        found.rangeLow = scale.seaLevel;
        found.rangeHigh = scale.hasPeak ? scale.peak : std::max(peak, scale.seaLevel);
    } else if (allUnsigned) {
        found.rangeLow = 0;
        found.rangeHigh = typeHigh;
    } else {
        found.rangeLow = lowest;
        found.rangeHigh = highest;
    }
    found.belowZeroWithoutSeaLevel = !scale.hasSeaLevel && lowest < 0;
    if (scale.equalArea)
        found.bands = landBands(sampled, mesh, scale);
    levels.resize(mesh.vertexCount());
    for (size_t i = 0; i < sampled.size(); ++i) {
        RasterSummary &one = found.rasters[int(i)];
        one.rangeLow = found.rangeLow;
        one.rangeHigh = found.rangeHigh;
        for (int v = 0; v < mesh.vertexCount(); ++v) {
            const unsigned char state = sampled[i].states[size_t(v)];
            const double mean = sampled[i].means[size_t(v)];
            if (state == VertexSampler::Data) {
                ++one.took;
                levels[v] = scale.equalArea ? levelInBands(mean, found.bands)
                            : scale.hasSeaLevel
                                ? levelAboveSea(mean, found.rangeLow, found.rangeHigh)
                                : levelInRange(mean, found.rangeLow, found.rangeHigh);
            } else if (state == VertexSampler::NoData) {
                ++one.noData;
                if (scale.noDataIsSea)
                    levels[v] = 0;
            }
        }
    }
    if (progress.function)
        progress.function(1.0, nullptr, progress.data);
    if (summary)
        *summary = found;
    return Status();
}

Status levelsFromRaster(const QString &path, const DrawnMesh &mesh, const LevelScale &scale,
                        QVector<int> &levels, RasterSummary *summary)
{
    QVector<int> result(mesh.vertexCount(), 0);
    ImportSummary found;
    const Status status = applyRasters({path}, mesh, scale, result, &found);
    if (!status.ok())
        return status;
    levels = result;
    if (summary)
        *summary = found.rasters.value(0);
    return status;
}

namespace {

// A world's base002.dat as it stands: its bytes for the backup, its levels,
// and its permission bits, which the backup keeps.
struct LevelsFile
{
    QString path;
    QByteArray bytes;
    QVector<int> table;
    int mode = 0;
};

// Reads dir's base002.dat, which must hold a level for each of the world's
// vertexCount vertices.
Status readLevelsFile(const QString &dir, int vertexCount, LevelsFile &file)
{
    file.path = QDir(dir).filePath(QString::fromLatin1(levelsFileName));
    const QString shown = shownName(file.path);
    const FileOpen opened =
        readRegularFile(file.path, NameLink::Refused, levelsFileLimit, &file.bytes);
    if (!opened.ok)
        return Status::refused((opened.missing ? QStringLiteral("%1: missing (%2)")
                                               : QStringLiteral("%1: cannot be read (%2)"))
                                   .arg(shown, opened.reason));
    if (opened.size > levelsFileLimit)
        return Status::refused(QStringLiteral("%1: %2 bytes, far more than the levels of a world")
                                   .arg(shown)
                                   .arg(opened.size));
    file.mode = opened.mode;
    const TableRead read = decodeIntTable(file.bytes, file.table);
    if (!read.ok())
        return Status::refused(describeTableRead(shown, read));
    if (file.table.size() < vertexCount)
        return Status::refused(QStringLiteral("%1: holds %2 levels, but the world has %3 vertices")
                                   .arg(shown)
                                   .arg(file.table.size())
                                   .arg(vertexCount));
    return Status();
}

// Replaces the first levels.size() entries of base002.dat, keeping the old
// file as base002.dat.bak. Both or neither: a backup replaced for an import
// that then failed would hold the levels of no import at all. The copy is
// as private as its original.
Status writeStartingLevels(const LevelsFile &file, const QVector<int> &levels)
{
    QVector<int> table = file.table;
    std::copy(levels.begin(), levels.end(), table.begin());
    return writeFilesAtomically(
        {{file.path + QLatin1String(levelsBackupSuffix), file.bytes, file.mode},
         {file.path, encodeIntTable(table)}});
}

} // namespace

Status importRelief(const QString &dir, const World &world, const ImportOptions &options,
                    ImportSummary *summary)
{
    // The levels before the import are base002.dat's, which the vertices
    // beyond the rasters keep; the file is read once, for them and for the
    // backup.
    LevelsFile file;
    Status status = readLevelsFile(dir, world.vertexCount, file);
    if (!status.ok())
        return status;
    QVector<int> levels = file.table.mid(0, world.vertexCount);
    status = applyRasters(options.rasters, drawnMesh(world), options.scale, levels, summary,
                          options.progress);
    if (status.ok())
        status = writeStartingLevels(file, levels);
    return status;
}
