#include "converters/heightmapimport.h"

#include "converters/reliefraster.h"
#include "converters/vertexsampler.h"
#include "converters/worldmap.h"
#include "world/levelstore.h"
#include "world/tablefile.h"
#include "world/worldload.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

const char *const levelsBackupSuffix = ".bak";

namespace {

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

bool levelsFromRaster(const QString &path, const DrawnMesh &mesh, const LevelScale &scale,
                      QVector<int> &levels, RasterSummary *summary, QString *error)
{
    ReliefRaster raster;
    if (!raster.open(path, error))
        return false;
    RasterSummary found;
    found.gridRegistered = raster.grid().gridRegistered;
    found.width = raster.grid().width + (found.gridRegistered ? 1 : 0);
    found.height = raster.grid().rows();
    std::vector<double> means;
    std::vector<bool> missing;
    QString problem;
    if (!sampleRaster(raster, MeshRaster(mesh, raster.grid()), means, missing, found, &problem)) {
        if (error)
            *error = problem.isEmpty() ? QStringLiteral("%1: holds no sample with data").arg(path)
                                       : problem;
        return false;
    }
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
    return true;
}

bool writeStartingLevels(const QString &dir, const QVector<int> &levels, QString *error)
{
    const QString path = QDir(dir).filePath(QString::fromLatin1(levelsFileName));
    QVector<int> table;
    if (!readStartingLevels(path, levels.size(), table, error))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: cannot be read (%2)").arg(path, file.errorString());
        return false;
    }
    const QByteArray old = file.readAll();
    std::copy(levels.begin(), levels.end(), table.begin());
    return writeFileAtomically(path + QLatin1String(levelsBackupSuffix), old, error) &&
           writeFileAtomically(path, encodeIntTable(table), error);
}
