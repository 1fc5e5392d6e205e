#include "commands.h"

#include "relief/heightmapimport.h"
#include "relief/importcheck.h"
#include "world/filenames.h"
#include "world/levelstore.h"
#include "world/worldload.h"

#include <QDir>
#include <QLocale>

#include <cmath>

namespace {

const QCommandLineOption heightmapOption(
    QStringLiteral("heightmap"),
    QStringLiteral("The relief: any single-band raster GDAL reads (PNG, GeoTIFF, NetCDF, HDF, SRTM "
                   "HGT, VRT, ...) in any coordinate system, the whole globe or a part of it, or "
                   "a map twice as wide as high; a subdataset by GDAL's name "
                   "(NETCDF:\"file.nc\":z). Give it more than once to apply several in order."),
    QStringLiteral("FILE"));
const QCommandLineOption noDataSeaOption(QStringLiteral("no-data-is-sea"),
                                         QStringLiteral("Vertices whose share of a raster holds "
                                                        "only no-data become sea (level 0) "
                                                        "instead of keeping their level."));
const QCommandLineOption seaLevelOption(QStringLiteral("sea-level"),
                                        QStringLiteral("Samples at or below V (in the raster's "
                                                       "units) are sea, level 0; land above it "
                                                       "spreads over levels 1..9."),
                                        QStringLiteral("V"));
const QCommandLineOption peakOption(QStringLiteral("peak"),
                                    QStringLiteral("With --sea-level: the value of level 9 "
                                                   "(default: the highest vertex mean)."),
                                    QStringLiteral("V"));
const QCommandLineOption scaleOption(
    QStringLiteral("scale"),
    QStringLiteral("With --sea-level: how land heights become levels 1..9: linear, nine steps of "
                   "equal height up to the peak (default), or area, nine bands that each cover "
                   "about the same share of the land's area."),
    QStringLiteral("linear|area"), QStringLiteral("linear"));

QString scaleLine(const LevelScale &scale, const ImportSummary &found)
{
    if (scale.equalArea) {
        QStringList starts;
        for (double cutoff : found.bands.cutoffs)
            starts << QString::number(cutoff);
        return QStringLiteral("sea at %1 and below, land in nine bands of equal area, levels 2 "
                              "to 9 above %2")
            .arg(found.rangeLow)
            .arg(starts.join(QStringLiteral(", ")));
    }
    if (scale.hasSeaLevel)
        return QStringLiteral("sea at %1 and below, level 9 from %2")
            .arg(found.rangeLow)
            .arg(found.rangeHigh);
    return QStringLiteral("%1 to %2 in ten equal steps, levels 0 to 9")
        .arg(found.rangeLow)
        .arg(found.rangeHigh);
}

QString count(qint64 n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
}

QString rasterLine(const RasterSummary &r)
{
    return QStringLiteral("%1: %2 x %3 %4%5, read as a %6 x %7 longitude/latitude grid; samples "
                          "%8 to %9")
        .arg(r.subdataset.isEmpty() ? shownName(r.path)
                                    : QStringLiteral("%1: its variable %2")
                                          .arg(shownName(r.path), shownName(r.subdataset)))
        .arg(r.width)
        .arg(r.height)
        .arg(!r.georeferenced   ? QStringLiteral("map pixels")
             : r.gridRegistered ? QStringLiteral("grid samples")
                                : QStringLiteral("pixels"))
        .arg(r.warped ? QStringLiteral(" warped by GDAL") : QString())
        .arg(r.gridWidth)
        .arg(r.gridRows)
        .arg(r.lowest)
        .arg(r.highest);
}

// "31,204 of 40,962 vertices (76%) took levels from FILE; 9,758 had no
// data and keep theirs".
QString coverageLine(const RasterSummary &r, bool noDataIsSea)
{
    const double share = r.vertices > 0 ? 100.0 * r.took / r.vertices : 0;
    const QString percent =
        r.took > 0 && share < 1 ? QStringLiteral("<1") : QString::number(std::floor(share + 0.5));
    QString line = QStringLiteral("%1 of %2 vertices (%3%) took levels from %4")
                       .arg(count(r.took), count(r.vertices), percent, shownName(r.path));
    if (r.noData > 0)
        line += QStringLiteral("; %1 had no data and %2")
                    .arg(count(r.noData),
                         noDataIsSea ? QStringLiteral("are sea") : QStringLiteral("keep theirs"));
    if (r.took + r.noData < r.vertices)
        line += QStringLiteral("; %1 lie beyond it and keep theirs")
                    .arg(count(r.vertices - r.took - r.noData));
    return line;
}

class ImportJob : public Job
{
public:
    void define(CommandLine &line) override
    {
        line.describe(QStringLiteral("Sets the starting levels of the world in DIR (base002.dat) "
                                     "from relief rasters, placed by their georeferencing: each "
                                     "vertex whose share of the sphere a raster covers takes "
                                     "the mean of its samples there; every other vertex keeps "
                                     "its level. The old base002.dat is kept as "
                                     "base002.dat.bak."));
        line.addOptions(
            {heightmapOption, seaLevelOption, peakOption, scaleOption, noDataSeaOption});
    }

    Status read(const OptionTexts &given) override { return checkImportOptions(given, &options); }

    Status run(const Call &call, Summary &summary) override
    {
        call.progress.update(0.1);
        // GDAL's reads and the sampling fill the rest of the line.
        options.progress = ProgressPart(call.progress).part(0.1, 1.0);
        ImportSummary found;
        const Status imported = importRelief(call.dir, call.world, options, &found);
        const QString levelsPath = QDir(call.dir).filePath(QString::fromLatin1(levelsFileName));
        summary.out(QStringLiteral("%1: %2 levels from %3; the old file is %1%4")
                        .arg(shownName(levelsPath))
                        .arg(call.world.vertexCount)
                        .arg(shownName(options.rasters.join(QStringLiteral(", "))),
                             QLatin1String(levelsBackupSuffix)));
        for (const RasterSummary &r : found.rasters)
            summary.out({rasterLine(r), coverageLine(r, options.scale.noDataIsSea)});
        summary.out(QStringLiteral("levels: ") + scaleLine(options.scale, found));
        if (found.belowZeroWithoutSeaLevel)
            summary.note(QStringLiteral("hint: samples reach %1, below 0, and no --sea-level was "
                                        "given: if they are heights above the sea, --sea-level "
                                        "0 makes the sea level 0")
                             .arg(found.rangeLow));
        if (call.world.demoFlag != 0)
            summary.note(QStringLiteral("note: demo.txt is on: at its start the editor lays the "
                                        "demo island over these levels, covering the Arctic "
                                        "(set demo.txt to 0 to see them there)"));
        return imported;
    }

private:
    ImportOptions options;
};

} // namespace

std::unique_ptr<Job> makeImport()
{
    return std::make_unique<ImportJob>();
}
