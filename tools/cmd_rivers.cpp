#include "commands.h"

#include "maps/riverfiles.h"
#include "world/filenames.h"

namespace {

const QCommandLineOption outOption(QStringLiteral("out"),
                                   QStringLiteral("Write FILE: .gpkg a GeoPackage (layers rivers, "
                                                  "lakes, basins), .geojson one GeoJSON "
                                                  "collection. May be given more than once."),
                                   QStringLiteral("FILE"));
const QCommandLineOption minAreaOption(QStringLiteral("min-area"),
                                       QStringLiteral("A river's least flow in km²: the area "
                                                      "draining through it (default: the area "
                                                      "of 20 average vertex cells)."),
                                       QStringLiteral("KM2"));
const QCommandLineOption radiusOption(QStringLiteral("radius"),
                                      QStringLiteral("The sphere's radius in km (default 6371)."),
                                      QStringLiteral("KM"));

class RiversJob : public Job
{
public:
    void define(CommandLine &line) override
    {
        line.describe(QStringLiteral("Computes where water runs on the world in DIR (rivers, "
                                     "lakes and drainage basins, level 0 being water) and "
                                     "writes them as GIS vectors in WGS 84 longitude and "
                                     "latitude."));
        line.addOptions({outOption, minAreaOption, radiusOption});
    }

    Status read(const OptionTexts &given) override { return checkRiverOptions(given, &options); }

    Status run(const Call &call, Summary &summary) override
    {
        RiverReport written;
        const Status wrote = writeRiverFiles(call.world, options, &written);
        QStringList names;
        for (const QString &out : options.outs)
            names << shownName(out);
        summary.out({QStringLiteral("%1: %2 rivers (flow from %3 km²), %4 lakes, %5 basins")
                         .arg(names.join(QStringLiteral(", ")))
                         .arg(written.rivers)
                         .arg(written.minAreaKm2, 0, 'f', 0)
                         .arg(written.lakes)
                         .arg(written.basins),
                     call.levelsLine});
        return wrote;
    }

private:
    RiverOptions options;
};

} // namespace

std::unique_ptr<Job> makeRivers()
{
    return std::make_unique<RiversJob>();
}
