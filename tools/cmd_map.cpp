#include "commands.h"

#include "converters/mapfile.h"
#include "converters/worldmap.h"
#include "world/filenames.h"

namespace {

const QCommandLineOption outOption(QStringLiteral("out"),
                                   QStringLiteral("The file to write: FILE.png a PNG, FILE.tif "
                                                  "or FILE.tiff a GeoTIFF in EPSG:4326."),
                                   QStringLiteral("FILE"));
const QCommandLineOption pngOption(QStringLiteral("png"), QStringLiteral("The same as --out."),
                                   QStringLiteral("FILE"));
const QCommandLineOption widthOption(QStringLiteral("width"),
                                     QStringLiteral("Width W in pixels, even, from 2 to %1 "
                                                    "(default %2); the map is W / 2 high.")
                                         .arg(maxMapWidth)
                                         .arg(defaultMapWidth),
                                     QStringLiteral("W"), QString::number(defaultMapWidth));
const QCommandLineOption heightmapOption(QStringLiteral("heightmap"),
                                         QStringLiteral("Write a 16-bit grey heightmap instead: "
                                                        "level L as round(L x 65535 / 9), from "
                                                        "the nearest corner."));

Status readWidth(const QString &text, int *width)
{
    bool ok = false;
    *width = text.toInt(&ok);
    if (ok && *width >= 2 && *width <= maxMapWidth && *width % 2 == 0)
        return Status();
    return Status::usage(QStringLiteral("--width must be an even number from 2 to %1, not '%2'")
                             .arg(maxMapWidth)
                             .arg(text));
}

// The output file, from --out or its synonym --png, and its format.
bool readOutput(const CommandLine &line, QString *file, MapFormat *format, int *status)
{
    const QCommandLineParser &parser = line.parser;
    if (parser.isSet(outOption) && parser.isSet(pngOption)) {
        *status = usageError(QStringLiteral("map: give --out FILE or --png FILE, not both"));
        return false;
    }
    if (!line.required(parser.isSet(pngOption) ? pngOption : outOption, file, status))
        return false;
    if (mapFormatOf(*file, format))
        return true;
    *status = usageError(QStringLiteral("%1: the name must end in .png (a PNG) or .tif or .tiff "
                                        "(a GeoTIFF)")
                             .arg(shownName(*file)));
    return false;
}

} // namespace

int runMap(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("map"),
                     QStringLiteral("Draws the globe of the world in DIR as an equirectangular "
                                    "map, north up and east to the right: column x at longitude "
                                    "360 (x + 0.5) / W - 180, row y at latitude 90 - 180 (y + "
                                    "0.5) / H degrees, a vertex at longitude 180 - azimuth. Each "
                                    "pixel has the colour the editor shows there."));
    line.addLevelOptions();
    line.parser.addOptions({outOption, pngOption, widthOption, heightmapOption});
    int status = 0;
    MapOptions options;
    if (!line.parse(arguments, &status) ||
        !readOutput(line, &options.out, &options.format, &status))
        return status;
    const Status width = readWidth(line.parser.value(widthOption), &options.width);
    if (!width.ok())
        return report(width);
    options.heightmap = line.parser.isSet(heightmapOption);
    World world;
    if (!line.loadWorldAndLevels(&world, &status))
        return status;
    int unrestorable = 0;
    const Status mapped = writeMap(world, options, &unrestorable);
    if (!mapped.ok())
        return report(mapped);
    if (unrestorable > 0)
        printLines(stderr, {QStringLiteral("globe-world: note: importing this map would not "
                                           "restore the levels of %1 vertices: pixels too few "
                                           "for the mesh (use a wider map)")
                                .arg(unrestorable)});
    printLines(stdout, {QStringLiteral("%1: %2 x %3 pixels")
                            .arg(options.out)
                            .arg(options.width)
                            .arg(options.width / 2),
                        line.levelsLine(world)});
    return report(mapped);
}
