#include "relief/heightmapimport.h"

#include "maps/vertexsampler.h"
#include "maps/worldmap.h"
#include "relief/reliefraster.h"
#include "world/levelstore.h"
#include "world/worldload.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// Rows a strip holds: about 32 MiB of samples.
const qint64 stripBytes = qint64(32) << 20;

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
                    RasterSummary &summary, const ProgressPart &progress)
{
    ReliefRaster raster;
    Status status = raster.open(path);
    if (status.ok())
        status = raster.prepare(wantedGridWidth(mesh));
    if (!status.ok())
        return status;
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
        status = raster.readRows(y, count, values.data(), states.data());
        if (!status.ok())
            return status;
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
        progress.update(y + count - raster.firstRow(), rows);
    }
    if (!(lowest <= highest))
        return Status::refused(path, QStringLiteral("holds no sample with data"));
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

// What each level stands for: the mean of the means the vertices that
// ended on it took, later rasters over earlier ones as the levels are laid.
void measureLevels(const std::vector<Sampled> &sampled, const DrawnMesh &mesh,
                   const QVector<int> &levels, const LevelScale &scale, ImportSummary &found)
{
    const std::vector<double> areas = vertexAreas(mesh);
    std::array<double, 10> sums{};
    for (size_t v = 0; v < areas.size(); ++v) {
        for (auto one = sampled.rbegin(); one != sampled.rend(); ++one) {
            const int level = levels[int(v)];
            if (one->states[v] == VertexSampler::Data && level >= 0 && level <= 9) {
                sums[size_t(level)] += one->means[v] * areas[v];
                found.levelArea[size_t(level)] += areas[v];
            }
            if (one->states[v] == VertexSampler::Data ||
                (scale.noDataIsSea && one->states[v] == VertexSampler::NoData))
                break;
        }
    }
    for (size_t k = 0; k < sums.size(); ++k)
        found.levelMean[k] = found.levelArea[k] > 0 ? sums[k] / found.levelArea[k] : 0;
}

// A vertex mean's level on the one scale of the import.
int levelOf(double mean, const LevelScale &scale, const ImportSummary &found)
{
    if (scale.equalArea)
        return levelInBands(mean, found.bands);
    if (scale.hasSeaLevel)
        return levelAboveSea(mean, found.rangeLow, found.rangeHigh);
    return levelInRange(mean, found.rangeLow, found.rangeHigh);
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
                    QVector<int> &levels, ImportSummary *summary, const ProgressPart &progress)
{
    std::vector<Sampled> sampled(size_t(paths.size()));
    ImportSummary found;
    for (int i = 0; i < paths.size(); ++i) {
        RasterSummary one;
        const Status status =
            sampleRaster(paths[i], mesh, sampled[size_t(i)], one,
                         progress.part(double(i) / paths.size(), double(i + 1) / paths.size()));
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
                levels[v] = levelOf(mean, scale, found);
            } else if (state == VertexSampler::NoData) {
                ++one.noData;
                if (scale.noDataIsSea)
                    levels[v] = 0;
            }
        }
    }
    measureLevels(sampled, mesh, levels, scale, found);
    progress.update(1.0);
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

Status importRelief(const QString &dir, const World &world, const ImportOptions &options,
                    ImportSummary *summary)
{
    // The levels before the import are base002.dat's, which the vertices
    // beyond the rasters keep; the file is read once, for them and for the
    // backup.
    StartingLevels file;
    Status status = readStartingLevels(dir, world.vertexCount, file);
    if (!status.ok())
        return status;
    QVector<int> levels = file.table.mid(0, world.vertexCount);
    status = applyRasters(options.rasters, drawnMesh(world), options.scale, levels, summary,
                          options.progress);
    if (status.ok())
        status = writeStartingLevels(file, levels);
    return status;
}
