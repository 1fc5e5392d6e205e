#include "commands.h"

#include "converters/mapfile.h"
#include "converters/worldmap.h"
#include "world/worldtables.h"

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

bool readWidth(const QString &text, int *width)
{
    bool ok = false;
    *width = text.toInt(&ok);
    if (ok && *width >= 2 && *width <= maxMapWidth && *width % 2 == 0)
        return true;
    usageError(QStringLiteral("--width must be an even number from 2 to %1, not '%2'")
                   .arg(maxMapWidth)
                   .arg(text));
    return false;
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
                             .arg(*file));
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
    int status = ExitSuccess;
    QString out;
    MapFormat format = MapFormat::Png;
    int width = 0;
    if (!line.parse(arguments, &status) || !readOutput(line, &out, &format, &status))
        return status;
    if (!readWidth(line.parser.value(widthOption), &width))
        return ExitUsage;
    if (!line.loadWorldAndLevels(&status))
        return status;
    const DrawnMesh mesh = drawnMesh(vertexLevels);
    int unrestorable = 0;
    const QImage image = line.parser.isSet(heightmapOption)
                             ? renderHeightmap(mesh, width, &unrestorable)
                             : renderColourMap(mesh, width);
    QByteArray bytes;
    QString error;
    if (!mapFileBytes(image, format, &bytes, &error)) {
        printLines(stderr, {QStringLiteral("globe-world: %1: %2").arg(out, error)});
        return ExitRefused;
    }
    if (!writeOutput(out, bytes))
        return ExitRefused;
    if (unrestorable > 0)
        printLines(stderr, {QStringLiteral("globe-world: note: importing this map would not "
                                           "restore the levels of %1 vertices: pixels too few "
                                           "for the mesh (use a wider map)")
                                .arg(unrestorable)});
    printLines(stdout, {QStringLiteral("%1: %2 x %3 pixels").arg(out).arg(width).arg(width / 2),
                        line.levelsLine()});
    return ExitSuccess;
}
