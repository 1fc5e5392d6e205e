#include "commands.h"

#include "converters/heightmapimport.h"
#include "world/progress.h"
#include "world/worldload.h"

#include <QDir>

#include <cmath>

namespace {

const QCommandLineOption heightmapOption(QStringLiteral("heightmap"),
                                         QStringLiteral("The relief: any single-band raster "
                                                        "GDAL reads (PNG, GeoTIFF, NetCDF, SRTM "
                                                        "HGT, ...), a map twice as wide as high "
                                                        "or a global grid in EPSG:4326."),
                                         QStringLiteral("FILE"));
const QCommandLineOption seaLevelOption(QStringLiteral("sea-level"),
                                        QStringLiteral("Samples at or below V (in the raster's "
                                                       "units) are sea, level 0; land above it "
                                                       "spreads over levels 1..9."),
                                        QStringLiteral("V"));
const QCommandLineOption peakOption(QStringLiteral("peak"),
                                    QStringLiteral("With --sea-level: the value of level 9 "
                                                   "(default: the raster's highest sample)."),
                                    QStringLiteral("V"));

Status readValue(const QCommandLineParser &parser, const QCommandLineOption &option, double *value)
{
    bool ok = false;
    const QString text = parser.value(option);
    *value = text.toDouble(&ok);
    if (ok && std::isfinite(*value))
        return Status();
    return Status::usage(
        QStringLiteral("--%1 must be a number, not '%2'").arg(option.names().constFirst(), text));
}

// The level scale from --sea-level and --peak, or the usage error.
Status readScale(const QCommandLineParser &parser, LevelScale &scale)
{
    scale.hasSeaLevel = parser.isSet(seaLevelOption);
    scale.hasPeak = parser.isSet(peakOption);
    if (scale.hasPeak && !scale.hasSeaLevel) {
        return Status::usage(QStringLiteral("--peak needs --sea-level"));
    }
    Status status;
    if (scale.hasSeaLevel)
        status = readValue(parser, seaLevelOption, &scale.seaLevel);
    if (status.ok() && scale.hasPeak)
        status = readValue(parser, peakOption, &scale.peak);
    if (!status.ok())
        return status;
    if (scale.hasPeak && !(scale.peak > scale.seaLevel)) {
        return Status::usage(QStringLiteral("--peak must be above --sea-level"));
    }
    return Status();
}

QString scaleLine(const LevelScale &scale, const RasterSummary &found)
{
    const QString samples = QStringLiteral("samples %1 to %2").arg(found.lowest).arg(found.highest);
    if (scale.hasSeaLevel)
        return QStringLiteral("%1; sea at %2 and below, level 9 from %3")
            .arg(samples)
            .arg(found.rangeLow)
            .arg(found.rangeHigh);
    return QStringLiteral("%1; %2 to %3 in ten equal steps, levels 0 to 9")
        .arg(samples)
        .arg(found.rangeLow)
        .arg(found.rangeHigh);
}

} // namespace

int runImport(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("import"),
                     QStringLiteral("Sets the starting levels of the world in DIR (base002.dat) "
                                    "from a relief raster, north up and east to the right: each "
                                    "vertex takes the mean of the samples of its share of the "
                                    "sphere. The old base002.dat is kept as base002.dat.bak."));
    line.parser.addOptions({heightmapOption, seaLevelOption, peakOption});
    int status = 0;
    ImportOptions options;
    if (!line.parse(arguments, &status) ||
        !line.required(heightmapOption, &options.raster, &status))
        return status;
    const Status scale = readScale(line.parser, options.scale);
    if (!scale.ok())
        return report(scale);
    // The samples fall on the globe as the editor starts it.
    Progress progress;
    World world;
    const Status loaded = line.loadWorld(DemoTerrain::AsFlagged, &world);
    if (!loaded.ok())
        return reportProblems(loaded);
    progress.update(0.1);
    RasterSummary found;
    const Status imported = importRelief(line.dir(), world, options, &found);
    progress.finish(imported.ok());
    if (!imported.ok())
        return report(imported);
    const QString levelsPath = QDir(line.dir()).filePath(QString::fromLatin1(levelsFileName));
    printLines(stdout, {QStringLiteral("%1: %2 levels from %3; the old file is %1%4")
                            .arg(levelsPath)
                            .arg(world.vertexCount)
                            .arg(options.raster, QLatin1String(levelsBackupSuffix)),
                        QStringLiteral("%1: %2 x %3 %4, %5")
                            .arg(options.raster)
                            .arg(found.width)
                            .arg(found.height)
                            .arg(found.gridRegistered ? QStringLiteral("grid samples")
                                                      : QStringLiteral("pixels"))
                            .arg(scaleLine(options.scale, found))});
    if (world.demoFlag != 0)
        printLines(stderr, {QStringLiteral("globe-world: note: demo.txt is on: at its start the "
                                           "editor lays the demo island over these levels, "
                                           "covering the Arctic (set demo.txt to 0 to see them "
                                           "there)")});
    return report(imported);
}
