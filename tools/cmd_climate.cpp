#include "commands.h"

#include "maps/climatefiles.h"
#include "maps/worldmap.h"

namespace {

const QCommandLineOption outOption(
    QStringLiteral("out"),
    QStringLiteral("Write FILE: .tif a GeoTIFF in EPSG:4326 (band 1 the Köppen class, named in "
                   "FILE.tif.aux.xml; 2 annual mean temperature °C; 3 annual precipitation mm; "
                   "4 and 5 the warmest and coldest month's mean °C), .gpkg or .geojson one "
                   "polygon per Köppen class (koppen, group, area_km2), .csv one row per vertex. "
                   "May be given more than once."),
    QStringLiteral("FILE"));
const QCommandLineOption heightsOption(
    QStringLiteral("heights"),
    QStringLiteral("The heights in metres above the sea of levels 1 to 9, nine increasing "
                   "numbers (default: those the world records, else the middle of each of nine "
                   "equal bands up to 6000 m: 333, 1000, ..., 5667)."),
    QStringLiteral("H1,...,H9"));
const QCommandLineOption peakOption(
    QStringLiteral("peak"),
    QStringLiteral("Level k stands (k - 1/2) M / 9 metres above the sea, as import --peak M put "
                   "it in the middle of its band."),
    QStringLiteral("M"));
const QCommandLineOption widthOption(
    QStringLiteral("width"),
    QStringLiteral("The GeoTIFF's width in pixels, and the zones' grid: even, 2 to 16384 "
                   "(default 2048); its height is half."),
    QStringLiteral("W"));

const double defaultPeakM = 6000;

void bandMiddles(double peak, double metres[9])
{
    for (int k = 1; k <= 9; ++k)
        metres[k - 1] = (k - 0.5) * peak / 9;
}

Status readHeights(const QString &text, double metres[9])
{
    const QStringList parts = text.split(QLatin1Char(','));
    const Status wrong = Status::usage(
        QStringLiteral("--heights must be nine increasing numbers of metres, not '%1'").arg(text));
    if (parts.size() != 9)
        return wrong;
    for (int k = 0; k < 9; ++k) {
        if (!numberInRange(parts[k].trimmed(), -1e5, 1e5, &metres[k]) ||
            (k > 0 && !(metres[k] > metres[k - 1])))
            return wrong;
    }
    return Status();
}

Status readOptions(const QCommandLineParser &parser, ClimateOptions &options)
{
    options.outs = parser.values(outOption);
    if (options.outs.isEmpty())
        return Status::usage(
            QStringLiteral("climate: give --out FILE (.tif, .gpkg, .geojson or .csv)"));
    if (parser.isSet(heightsOption) && parser.isSet(peakOption))
        return Status::usage(QStringLiteral("give --heights or --peak, not both"));
    bandMiddles(defaultPeakM, options.levelMetres);
    if (parser.isSet(heightsOption)) {
        if (const Status read = readHeights(parser.value(heightsOption), options.levelMetres);
            !read.ok())
            return read;
    }
    double peak = 0;
    if (parser.isSet(peakOption)) {
        if (!numberInRange(parser.value(peakOption), 0, 1e5, &peak) || !(peak > 0))
            return Status::usage(QStringLiteral("--peak must be a number of metres above 0, "
                                                "not '%1'")
                                     .arg(parser.value(peakOption)));
        bandMiddles(peak, options.levelMetres);
    }
    if (parser.isSet(widthOption)) {
        double width = 0;
        if (!numberInRange(parser.value(widthOption), 2, maxMapWidth, &width) ||
            int(width) != width || int(width) % 2 != 0)
            return Status::usage(
                QStringLiteral("--width must be an even number from 2 to %1, not '%2'")
                    .arg(maxMapWidth)
                    .arg(parser.value(widthOption)));
        options.width = int(width);
    }
    return Status();
}

QString sharesLine(const ClimateReport &report)
{
    QStringList parts;
    for (int g = 0; g < 5; ++g)
        parts << QStringLiteral("%1 %2%").arg(QChar('A' + g)).arg(
                     100 * report.groupShare[g], 0, 'f', 1);
    return QStringLiteral("land %1 km²: %2")
        .arg(report.landKm2, 0, 'f', 0)
        .arg(parts.join(QStringLiteral(", ")));
}

} // namespace

int runClimate(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("climate"),
                     QStringLiteral("Derives a climate from the relief of the world in DIR "
                                    "(monthly temperature and precipitation, Köppen–Geiger "
                                    "classes after Peel et al. 2007 and biomes) and writes it "
                                    "as GIS layers and a table."));
    line.addLevelOptions();
    line.parser.addOptions({outOption, heightsOption, peakOption, widthOption});
    if (const Status parsed = line.parse(arguments); !parsed.ok() || line.helpShown())
        return report(parsed);
    ClimateOptions options;
    if (const Status read = readOptions(line.parser, options); !read.ok())
        return report(read);
    World world;
    if (const Status loaded = line.loadWorldAndLevels(&world); !loaded.ok())
        return exitStatus(loaded);
    ClimateReport written;
    const Status wrote = writeClimateFiles(world, options, &written);
    if (!wrote.ok())
        return report(wrote);
    printLines(stdout, {QStringLiteral("%1: %2").arg(options.outs.join(QStringLiteral(", ")),
                                                     sharesLine(written)),
                        line.levelsLine(world)});
    return report(wrote);
}
