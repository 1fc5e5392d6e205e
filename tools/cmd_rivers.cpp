#include "commands.h"

#include "maps/riverfiles.h"

#include <limits>

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

Status readOptions(const QCommandLineParser &parser, RiverOptions &options)
{
    options.outs = parser.values(outOption);
    if (options.outs.isEmpty())
        return Status::usage(QStringLiteral("rivers: give --out FILE (.gpkg or .geojson)"));
    const double huge = std::numeric_limits<double>::max();
    if (parser.isSet(minAreaOption) &&
        !numberInRange(parser.value(minAreaOption), 0, huge, &options.minAreaKm2))
        return Status::usage(QStringLiteral("--min-area must be a number of km² from 0, not '%1'")
                                 .arg(parser.value(minAreaOption)));
    if (parser.isSet(radiusOption) &&
        !(numberInRange(parser.value(radiusOption), 0, 1e9, &options.radiusKm) &&
          options.radiusKm > 0))
        return Status::usage(QStringLiteral("--radius must be a number of km above 0, not '%1'")
                                 .arg(parser.value(radiusOption)));
    return Status();
}

} // namespace

int runRivers(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("rivers"),
                     QStringLiteral("Computes where water runs on the world in DIR (rivers, "
                                    "lakes and drainage basins, level 0 being water) and writes "
                                    "them as GIS vectors in WGS 84 longitude and latitude."));
    line.addLevelOptions();
    line.parser.addOptions({outOption, minAreaOption, radiusOption});
    if (const Status parsed = line.parse(arguments); !parsed.ok() || line.helpShown())
        return report(parsed);
    RiverOptions options;
    const Status read = readOptions(line.parser, options);
    if (!read.ok())
        return report(read);
    World world;
    if (const Status loaded = line.loadWorldAndLevels(&world); !loaded.ok())
        return exitStatus(loaded);
    RiverReport written;
    const Status wrote = writeRiverFiles(world, options, &written);
    if (!wrote.ok())
        return report(wrote);
    printLines(stdout, {QStringLiteral("%1: %2 rivers (flow from %3 km²), %4 lakes, %5 basins")
                            .arg(options.outs.join(QStringLiteral(", ")))
                            .arg(written.rivers)
                            .arg(written.minAreaKm2, 0, 'f', 0)
                            .arg(written.lakes)
                            .arg(written.basins),
                        line.levelsLine(world)});
    return report(wrote);
}
