#include "commands.h"

#include "maps/cubemap.h"
#include "maps/mapfile.h"
#include "maps/worldmap.h"
#include "world/filenames.h"
#include "world/progress.h"

namespace {

const QCommandLineOption outOption(QStringLiteral("out"),
                                   QStringLiteral("The file to write: FILE.png a PNG, FILE.tif "
                                                  "or FILE.tiff a GeoTIFF in EPSG:4326."),
                                   QStringLiteral("FILE"));
const QCommandLineOption pngOption(QStringLiteral("png"), QStringLiteral("The same as --out."),
                                   QStringLiteral("FILE"));
const QCommandLineOption widthOption(QStringLiteral("width"),
                                     QStringLiteral("Width W in pixels, even, from 2 to %1 "
                                                    "(default %2); the map is W / 2 high, a cube's "
                                                    "faces W / 4 square (W a multiple of 4).")
                                         .arg(maxMapWidth)
                                         .arg(defaultMapWidth),
                                     QStringLiteral("W"), QString::number(defaultMapWidth));
const QCommandLineOption projectionOption(
    QStringLiteral("projection"),
    QStringLiteral("equirectangular (default) or cube: six PNG faces NAME-px.png, NAME-nx.png, "
                   "NAME-py.png, NAME-ny.png, NAME-pz.png and NAME-nz.png for --out NAME.png, "
                   "each W / 4 square, in OpenGL's cube-map face table, Y up as in the glTF "
                   "export."),
    QStringLiteral("equirectangular|cube"), QStringLiteral("equirectangular"));
const QCommandLineOption heightmapOption(QStringLiteral("heightmap"),
                                         QStringLiteral("Write a 16-bit grey heightmap instead: "
                                                        "level L as round(L x 65535 / 9), from "
                                                        "the nearest corner."));

Status readProjection(const QString &text, MapOptions &options)
{
    if (text == QLatin1String("equirectangular"))
        options.projection = MapProjection::Equirectangular;
    else if (text == QLatin1String("cube"))
        options.projection = MapProjection::Cube;
    else
        return Status::usage(
            QStringLiteral("--projection must be equirectangular or cube, not '%1'").arg(text));
    if (options.projection == MapProjection::Cube && options.format != MapFormat::Png)
        return Status::usage(
            QStringLiteral("%1: a cube map's faces are PNGs: name it NAME.png").arg(options.out));
    return Status();
}

// A cube's faces are a quarter of the width, as the equator's four faces are.
Status readWidth(const QString &text, MapOptions &options)
{
    const bool cube = options.projection == MapProjection::Cube;
    const int step = cube ? 4 : 2;
    bool ok = false;
    options.width = text.toInt(&ok);
    if (ok && options.width >= step && options.width <= maxMapWidth && options.width % step == 0)
        return Status();
    const QString rule = cube ? QStringLiteral("a multiple of 4 from 4 to %1 for a cube")
                              : QStringLiteral("an even number from 2 to %1");
    return Status::usage(
        QStringLiteral("--width must be %1, not '%2'").arg(rule.arg(maxMapWidth), text));
}

// What was written, for the user.
QString writtenLine(const MapOptions &options)
{
    if (options.projection == MapProjection::Equirectangular)
        return QStringLiteral("%1: %2 x %3 pixels")
            .arg(options.out)
            .arg(options.width)
            .arg(options.width / 2);
    QStringList faces;
    for (int face = 0; face < cubeFaces; ++face)
        faces << cubeFaceFile(options.out, face);
    return QStringLiteral("%1: six faces of %2 x %2 pixels")
        .arg(faces.join(QStringLiteral(", ")))
        .arg(options.width / 4);
}

// The output file, from --out or its synonym --png, and its format.
Status readOutput(const CommandLine &line, QString *file, MapFormat *format)
{
    const QCommandLineParser &parser = line.parser;
    if (parser.isSet(outOption) && parser.isSet(pngOption))
        return Status::usage(QStringLiteral("map: give --out FILE or --png FILE, not both"));
    const Status given = line.required(parser.isSet(pngOption) ? pngOption : outOption, file);
    if (!given.ok() || mapFormatOf(*file, format))
        return given;
    return Status::usage(QStringLiteral("%1: the name must end in .png (a PNG) or .tif or .tiff "
                                        "(a GeoTIFF)")
                             .arg(shownName(*file)));
}

} // namespace

int runMap(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("map"),
                     QStringLiteral("Draws the globe of the world in DIR as an equirectangular "
                                    "map, north up and east to the right: column x at longitude "
                                    "360 (x + 0.5) / W - 180, row y at latitude 90 - 180 (y + "
                                    "0.5) / H degrees, a vertex at longitude 180 - azimuth; or, "
                                    "with --projection cube, as six cube-map faces. Each pixel "
                                    "has the colour the editor shows there."));
    line.addLevelOptions();
    line.parser.addOptions({outOption, pngOption, widthOption, projectionOption, heightmapOption});
    MapOptions options;
    if (const Status parsed = line.parse(arguments); !parsed.ok() || line.helpShown())
        return report(parsed);
    Status read = readOutput(line, &options.out, &options.format);
    if (read.ok())
        read = readProjection(line.parser.value(projectionOption), options);
    if (read.ok())
        read = readWidth(line.parser.value(widthOption), options);
    if (!read.ok())
        return report(read);
    options.heightmap = line.parser.isSet(heightmapOption);
    Progress progress;
    World world;
    if (const Status loaded = line.loadWorldAndLevels(&world); !loaded.ok())
        return exitStatus(loaded);
    int unrestorable = 0;
    const Status mapped = writeMap(world, options, &unrestorable, progress);
    progress.finish(mapped.ok());
    if (!mapped.ok())
        return report(mapped);
    if (unrestorable > 0)
        printLines(stderr, {QStringLiteral("globe-world: note: importing this map would not "
                                           "restore the levels of %1 vertices: pixels too few "
                                           "for the mesh (use a wider map)")
                                .arg(unrestorable)});
    printLines(stdout, {writtenLine(options), line.levelsLine(world)});
    return report(mapped);
}
