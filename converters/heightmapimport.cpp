#include "converters/heightmapimport.h"

#include "converters/rastersafety.h"
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
#include <memory>

const char *const levelsBackupSuffix = ".bak";

namespace {

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

// One pass over the raster: the vertex means and the range of the data.
bool sampleRaster(ReliefRaster &raster, const MeshRaster &mesh, std::vector<double> &means,
                  std::vector<bool> &missing, RasterSummary &summary, QString *error)
{
    VertexSampler sampler(mesh);
    const SampleGrid &grid = raster.grid();
    std::vector<double> values(size_t(grid.width));
    std::unique_ptr<bool[]> valid(new bool[size_t(grid.width)]);
    double lowest = std::numeric_limits<double>::infinity(), highest = -lowest;
    for (int y = 0; y < grid.rows(); ++y) {
        if (!raster.readRow(y, values.data(), valid.get(), error))
            return false;
        for (int x = 0; x < grid.width; ++x) {
            if (valid[size_t(x)]) {
                lowest = std::min(lowest, values[size_t(x)]);
                highest = std::max(highest, values[size_t(x)]);
            }
        }
        sampler.addRow(y, values.data(), valid.get());
    }
    summary.lowest = lowest;
    summary.highest = highest;
    means = sampler.means(&missing);
    return lowest <= highest;
}

} // namespace

Status levelsFromRaster(const QString &path, const DrawnMesh &mesh, const LevelScale &scale,
                        QVector<int> &levels, RasterSummary *summary)
{
    ReliefRaster raster;
    QString error;
    if (!raster.open(path, &error))
        return Status::refused(error);
    RasterSummary found;
    found.gridRegistered = raster.grid().gridRegistered;
    found.width = raster.grid().width + (found.gridRegistered ? 1 : 0);
    found.height = raster.grid().rows();
    std::vector<double> means;
    std::vector<bool> missing;
    if (!sampleRaster(raster, MeshRaster(mesh, raster.grid()), means, missing, found, &error))
        return Status::refused(
            error.isEmpty() ? QStringLiteral("%1: holds no sample with data").arg(path) : error);
    if (scale.hasSeaLevel) {
        found.rangeLow = scale.seaLevel;
        found.rangeHigh = scale.hasPeak ? scale.peak : found.highest;
    } else if (!raster.typeRange(&found.rangeLow, &found.rangeHigh)) {
        found.rangeLow = found.lowest;
        found.rangeHigh = found.highest;
    }
    levels.resize(mesh.vertexCount());
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        if (missing[size_t(v)])
            levels[v] = 0;
        else if (scale.hasSeaLevel)
            levels[v] = levelAboveSea(means[size_t(v)], found.rangeLow, found.rangeHigh);
        else
            levels[v] = levelInRange(means[size_t(v)], found.rangeLow, found.rangeHigh);
    }
    if (summary)
        *summary = found;
    return Status();
}

Status writeStartingLevels(const QString &dir, const QVector<int> &levels)
{
    const QString path = QDir(dir).filePath(QString::fromLatin1(levelsFileName));
    // One read: the backup is the old file's bytes, the new table its levels.
    QByteArray old;
    const FileOpen opened = readRegularFile(path, NameLink::Refused, levelsFileLimit, &old);
    if (!opened.ok)
        return Status::refused((opened.missing ? QStringLiteral("%1: missing (%2)")
                                               : QStringLiteral("%1: cannot be read (%2)"))
                                   .arg(shownName(path), opened.reason));
    if (opened.size > levelsFileLimit)
        return Status::refused(QStringLiteral("%1: %2 bytes, far more than the levels of a world")
                                   .arg(shownName(path))
                                   .arg(opened.size));
    QVector<int> table;
    const TableRead read = decodeIntTable(old, table);
    if (!read.ok())
        return Status::refused(describeTableRead(path, read));
    if (table.size() < levels.size())
        return Status::refused(QStringLiteral("%1: holds %2 levels, but the world has %3 vertices")
                                   .arg(shownName(path))
                                   .arg(table.size())
                                   .arg(levels.size()));
    std::copy(levels.begin(), levels.end(), table.begin());
    // Both or neither: a backup replaced for an import that then failed
    // would hold the levels of no import at all. The copy is as private as
    // its original.
    return writeFilesAtomically({{path + QLatin1String(levelsBackupSuffix), old, opened.mode},
                                 {path, encodeIntTable(table)}});
}

Status importRelief(const QString &dir, const World &world, const ImportOptions &options,
                    RasterSummary *summary)
{
    QVector<int> levels;
    Status status = checkRasterSource(options.raster);
    if (status.ok())
        status = levelsFromRaster(options.raster, drawnMesh(world), options.scale, levels, summary);
    if (status.ok())
        status = writeStartingLevels(dir, levels);
    return status;
}
