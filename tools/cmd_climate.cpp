#include "commands.h"

#include "maps/climatefiles.h"
#include "world/filenames.h"

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
                   "numbers (default: those the world's heights.txt records, else the middle "
                   "of each of nine equal bands up to 4500 m: 250, 750, ..., 4250)."),
    QStringLiteral("H1,...,H9"));
const QCommandLineOption peakOption(
    QStringLiteral("peak"),
    QStringLiteral("Level k stands (k - 1/2) M / 9 metres above the sea, where import --peak M "
                   "put the middle of its band."),
    QStringLiteral("M"));
const QCommandLineOption widthOption(
    QStringLiteral("width"),
    QStringLiteral("The GeoTIFF's width in pixels, and the zones' grid: even, 2 to 16384 "
                   "(default 2048); its height is half."),
    QStringLiteral("W"));

QString sharesLine(const ClimateReport &report)
{
    QStringList parts;
    for (int g = 0; g < 5; ++g)
        parts << QStringLiteral("%1 %2%")
                     .arg(QChar('A' + g))
                     .arg(100 * report.groupShare[g], 0, 'f', 1);
    return QStringLiteral("land %1 km²: %2")
        .arg(report.landKm2, 0, 'f', 0)
        .arg(parts.join(QStringLiteral(", ")));
}

class ClimateJob : public Job
{
public:
    void define(CommandLine &line) override
    {
        line.describe(QStringLiteral("Derives a climate from the relief of the world in DIR "
                                     "(monthly temperature and precipitation, Köppen–Geiger "
                                     "classes after Peel et al. 2007 and biomes) and writes it "
                                     "as GIS layers and a table."));
        line.addOptions({outOption, heightsOption, peakOption, widthOption});
    }

    Status read(const OptionTexts &given) override { return checkClimateOptions(given, &options); }

    Status run(const Call &call, Summary &summary) override
    {
        ClimateReport written;
        Status wrote = climateHeights(call.dir, &options);
        if (wrote.ok())
            wrote = writeClimateFiles(call.world, options, &written);
        QStringList names;
        for (const QString &out : options.outs)
            names << shownName(out);
        summary.out(
            {QStringLiteral("%1: %2").arg(names.join(QStringLiteral(", ")), sharesLine(written)),
             call.levelsLine});
        return wrote;
    }

private:
    ClimateOptions options;
};

} // namespace

std::unique_ptr<Job> makeClimate()
{
    return std::make_unique<ClimateJob>();
}
