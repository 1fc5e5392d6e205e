#include "commands.h"

#include "maps/cubemap.h"
#include "maps/graticule.h"
#include "maps/mapfile.h"
#include "maps/projectedmap.h"
#include "maps/turntable.h"
#include "maps/worldmap.h"
#include "world/filenames.h"
#include "world/progress.h"

#include <cmath>

namespace {

const QCommandLineOption outOption(QStringLiteral("out"),
                                   QStringLiteral("The file to write: FILE.png a PNG, FILE.tif "
                                                  "or FILE.tiff a GeoTIFF in EPSG:4326 (or in the "
                                                  "projection), FILE.kmz the map for Google Earth "
                                                  "(tiles in levels of detail, by GDAL's "
                                                  "KMLSUPEROVERLAY); FILE.webp, FILE.gif or "
                                                  "FILE.mp4 a turntable (see --frames)."),
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
    QStringLiteral("equirectangular (default); cube: six PNG faces NAME-px.png, NAME-nx.png, "
                   "NAME-py.png, NAME-ny.png, NAME-pz.png and NAME-nz.png for --out NAME.png, "
                   "each W / 4 square, in OpenGL's cube-map face table, Y up as in the glTF "
                   "export; mollweide, robinson, winkel-tripel, equal-earth (W wide, as high "
                   "as the world's outline) or orthographic (W square), warped by GDAL, "
                   "transparent beyond the globe."),
    QStringLiteral("PROJECTION"), QStringLiteral("equirectangular"));
const QCommandLineOption
    centerOption(QStringLiteral("center"),
                 QStringLiteral("The central meridian of a world projection (LON), or the point an "
                                "orthographic view faces (LON,LAT), in degrees (default 0,0)."),
                 QStringLiteral("LON[,LAT]"));
const QCommandLineOption graticuleOption(
    QStringLiteral("graticule"),
    QStringLiteral("Draw lines of latitude and longitude every DEG degrees (more than 0, at "
                   "most 90), the equator and the prime meridian among them."),
    QStringLiteral("DEG"));
const QCommandLineOption riversOption(QStringLiteral("rivers"),
                                      QStringLiteral("Draw lakes and rivers in the colour of "
                                                     "water over a colour map, in every "
                                                     "projection, rivers wider with their flow "
                                                     "(see the rivers command)."));
const QCommandLineOption framesOption(
    QStringLiteral("frames"),
    QStringLiteral("A turntable of N orthographic frames (a whole number from %1 to %2, default "
                   "%3), %4 a second, W square (default %5, at most %6): frame k faces longitude "
                   "LON - k x 360 / N of --center, so the globe turns west to east as the Earth "
                   "does. Animated WebP (lossless) and GIF (one palette, no dithering) loop "
                   "forever; an MP4 is H.264 in yuv420p over white, exactly N frames.")
        .arg(minTurntableFrames)
        .arg(maxTurntableFrames)
        .arg(defaultTurntableFrames)
        .arg(turntableFramesPerSecond)
        .arg(defaultTurntableWidth)
        .arg(maxTurntableWidth),
    QStringLiteral("N"));
const QCommandLineOption heightmapOption(QStringLiteral("heightmap"),
                                         QStringLiteral("Write a 16-bit grey heightmap instead: "
                                                        "level L as round(L x 65535 / 9), from "
                                                        "the nearest corner."));

Status readProjection(const QString &text, MapOptions &options)
{
    if (isAnimation(options.format)) {
        options.projection = MapProjection::Orthographic;
        return Status();
    }
    if (!projectionNamed(text, &options.projection))
        return Status::usage(QStringLiteral("--projection must be equirectangular, cube, "
                                            "mollweide, robinson, winkel-tripel, equal-earth or "
                                            "orthographic, not '%1'")
                                 .arg(text));
    if (options.projection == MapProjection::Cube && options.format != MapFormat::Png)
        return Status::usage(QStringLiteral("%1: a cube map's faces are PNGs: name it NAME.png")
                                 .arg(shownName(options.out)));
    return Status();
}

// A cube's faces are a quarter of the width, as the equator's four faces are.
// A turntable's frames are smaller by default, and H.264 wants even sides.
Status readWidth(const QCommandLineParser &parser, MapOptions &options)
{
    const bool cube = options.projection == MapProjection::Cube;
    const bool turntable = isAnimation(options.format);
    const QString text = turntable && !parser.isSet(widthOption)
                             ? QString::number(defaultTurntableWidth)
                             : parser.value(widthOption);
    const int step = cube ? 4 : 2, most = turntable ? maxTurntableWidth : maxMapWidth;
    bool ok = false;
    options.width = text.toInt(&ok);
    if (ok && options.width >= step && options.width <= most && options.width % step == 0)
        return Status();
    const QString rule = cube        ? QStringLiteral("a multiple of 4 from 4 to %1 for a cube")
                         : turntable ? QStringLiteral("an even number from 2 to %1 for a turntable")
                                     : QStringLiteral("an even number from 2 to %1");
    return Status::usage(QStringLiteral("--width must be %1, not '%2'").arg(rule.arg(most), text));
}

// What a KMZ and a turntable allow: Google Earth places the map itself, a
// turntable is orthographic; neither holds a heightmap.
Status readKind(const QCommandLineParser &parser, MapOptions &options)
{
    const bool kmz = options.format == MapFormat::Kmz, turntable = isAnimation(options.format);
    if (!kmz && !turntable)
        return Status();
    const QString file = shownName(options.out);
    if (parser.isSet(projectionOption))
        return Status::usage(
            kmz ? QStringLiteral("%1: a KMZ is placed on Google Earth's globe: leave out "
                                 "--projection")
                      .arg(file)
                : QStringLiteral("%1: a turntable is orthographic: leave out --projection")
                      .arg(file));
    if (kmz && parser.isSet(centerOption))
        return Status::usage(
            QStringLiteral("%1: a KMZ is placed on Google Earth's globe: leave out --center")
                .arg(file));
    if (parser.isSet(heightmapOption))
        return Status::usage(QStringLiteral("%1: --heightmap writes levels as grey: give it a "
                                            ".png or .tif")
                                 .arg(file));
    return Status();
}

// --frames N, for a turntable alone.
Status readFrames(const QCommandLineParser &parser, MapOptions &options)
{
    const bool turntable = isAnimation(options.format);
    if (!turntable) {
        if (parser.isSet(framesOption))
            return Status::usage(QStringLiteral("%1: --frames makes a turntable: name it "
                                                "FILE.webp, FILE.gif or FILE.mp4")
                                     .arg(shownName(options.out)));
        return Status();
    }
    double frames = defaultTurntableFrames;
    const QString text = parser.value(framesOption);
    if (parser.isSet(framesOption) &&
        (!numberInRange(text, minTurntableFrames, maxTurntableFrames, &frames) ||
         frames != std::floor(frames)))
        return Status::usage(
            QStringLiteral("--frames must be a whole number from %1 to %2, not '%3'")
                .arg(minTurntableFrames)
                .arg(maxTurntableFrames)
                .arg(text));
    options.frames = int(frames);
    if (qint64(options.width) * options.width * options.frames > maxTurntablePixels)
        return Status::usage(QStringLiteral("--frames %1 of --width %2: a turntable holds at most "
                                            "%3 pixels (W x W x N); give fewer frames or a "
                                            "smaller width")
                                 .arg(options.frames)
                                 .arg(options.width)
                                 .arg(maxTurntablePixels));
    return Status();
}

// --center LON or LON,LAT, for the projections that have a centre.
Status readCenter(const QCommandLineParser &parser, MapOptions &options)
{
    if (!parser.isSet(centerOption))
        return Status();
    const QString text = parser.value(centerOption);
    if (!isWarped(options.projection))
        return Status::usage(QStringLiteral("--center is for the warped projections, not %1")
                                 .arg(QLatin1String(projectionName(options.projection))));
    const QStringList parts = text.split(QLatin1Char(','));
    const bool orthographic = options.projection == MapProjection::Orthographic;
    if (parts.size() > 2 || !numberInRange(parts[0], -180, 180, &options.centerLongitude) ||
        (parts.size() == 2 && !numberInRange(parts[1], -90, 90, &options.centerLatitude)))
        return Status::usage(QStringLiteral("--center must be LON or LON,LAT with LON from -180 "
                                            "to 180 and LAT from -90 to 90, not '%1'")
                                 .arg(text));
    if (!orthographic && options.centerLatitude != 0)
        return Status::usage(QStringLiteral("--center: a world projection is centred on a "
                                            "meridian: give LON alone, not '%1'")
                                 .arg(text));
    return Status();
}

Status readGraticule(const QCommandLineParser &parser, MapOptions &options)
{
    if (!parser.isSet(graticuleOption))
        return Status();
    const QString text = parser.value(graticuleOption);
    if (!numberInRange(text, 0, 90, &options.graticule) || !isGraticuleStep(options.graticule))
        return Status::usage(
            QStringLiteral("--graticule must be more than 0 and at most 90 degrees, not '%1'")
                .arg(text));
    if (options.heightmap)
        return Status::usage(
            QStringLiteral("--graticule draws on colours: a heightmap holds levels only"));
    return Status();
}

// What was written, for the user.
QString writtenLine(const MapOptions &options)
{
    if (isAnimation(options.format))
        return QStringLiteral("%1: a turntable of %2 frames of %3 x %3 pixels, %4 a second, "
                              "from longitude %5")
            .arg(shownName(options.out))
            .arg(options.frames)
            .arg(options.width)
            .arg(turntableFramesPerSecond)
            .arg(options.centerLongitude);
    if (options.format == MapFormat::Kmz)
        return QStringLiteral("%1: Google Earth's super-overlay of a %2 x %3 map")
            .arg(shownName(options.out))
            .arg(options.width)
            .arg(options.width / 2);
    if (isWarped(options.projection))
        return QStringLiteral("%1: %2, %3 pixels wide")
            .arg(options.out, QLatin1String(projectionName(options.projection)))
            .arg(options.width);
    if (options.projection == MapProjection::Equirectangular)
        return QStringLiteral("%1: %2 x %3 pixels")
            .arg(shownName(options.out))
            .arg(options.width)
            .arg(options.width / 2);
    QStringList faces;
    for (int face = 0; face < cubeFaces; ++face)
        faces << shownName(cubeFaceFile(options.out, face));
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
    return Status::usage(QStringLiteral("%1: the name must end in .png (a PNG), .tif or .tiff (a "
                                        "GeoTIFF), .kmz (Google Earth), or .webp, .gif or .mp4 "
                                        "(a turntable)")
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
                                    "with --projection cube, as six cube-map faces; or warped by "
                                    "GDAL into a world projection or an orthographic view. Each "
                                    "pixel has the colour the editor shows there."));
    line.addLevelOptions();
    line.parser.addOptions({outOption, pngOption, widthOption, projectionOption, heightmapOption,
                            centerOption, graticuleOption, riversOption, framesOption});
    MapOptions options;
    if (const Status parsed = line.parse(arguments); !parsed.ok() || line.helpShown())
        return report(parsed);
    Status read = readOutput(line, &options.out, &options.format);
    if (read.ok())
        read = readKind(line.parser, options);
    if (read.ok())
        read = readProjection(line.parser.value(projectionOption), options);
    if (read.ok())
        read = readWidth(line.parser, options);
    if (read.ok())
        read = readFrames(line.parser, options);
    options.heightmap = line.parser.isSet(heightmapOption);
    if (read.ok())
        read = readCenter(line.parser, options);
    if (read.ok())
        read = readGraticule(line.parser, options);
    if (!read.ok())
        return report(read);
    options.rivers = line.parser.isSet(riversOption);
    options.title = line.worldName();
    if (options.rivers && options.heightmap)
        return report(Status::usage(QStringLiteral("--rivers draws on a colour map, not on a "
                                                   "heightmap")));
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
