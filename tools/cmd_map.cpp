#include "commands.h"

#include "maps/cubemap.h"
#include "maps/mapcheck.h"
#include "maps/mapfile.h"
#include "maps/projectedmap.h"
#include "maps/turntable.h"
#include "maps/worldmap.h"
#include "world/filenames.h"

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
                 QStringLiteral("The central meridian of the equirectangular map or a world "
                                "projection (LON; 180 for a Pacific-centred map), or the point an "
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
const QCommandLineOption minAreaOption(QStringLiteral("min-area"),
                                       QStringLiteral("With --rivers: a river's least flow in "
                                                      "km², as the rivers command's --min-area "
                                                      "(default: the same, the area of 20 "
                                                      "average vertex cells)."),
                                       QStringLiteral("KM2"));
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
            .arg(shownName(options.out), QLatin1String(projectionName(options.projection)))
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

class MapJob : public Job
{
public:
    void define(CommandLine &line) override
    {
        line.describe(QStringLiteral(
            "Draws the globe of the world in DIR as an equirectangular map, north up and east to "
            "the right: column x at longitude 360 (x + 0.5) / W - 180, row y at latitude 90 - "
            "180 (y + 0.5) / H degrees, a vertex at longitude 180 - azimuth; or, with "
            "--projection cube, as six cube-map faces; or warped by GDAL into a world projection "
            "or an orthographic view. Each pixel has the colour the editor shows there."));
        line.addOptions({outOption, pngOption, widthOption, projectionOption, heightmapOption,
                         centerOption, graticuleOption, riversOption, minAreaOption, framesOption});
    }

    Status read(const OptionTexts &given) override { return checkMapOptions(given, &options); }

    Status run(const Call &call, Summary &summary) override
    {
        options.title = worldName(call.dir);
        int unrestorable = 0;
        const Status mapped = writeMap(call.world, options, &unrestorable, call.progress);
        if (unrestorable > 0)
            summary.note(QStringLiteral("note: importing this map would not restore the levels "
                                        "of %1 vertices: pixels too few for the mesh (use a "
                                        "wider map)")
                             .arg(unrestorable));
        summary.out({writtenLine(options), call.levelsLine});
        return mapped;
    }

private:
    MapOptions options;
};

} // namespace

std::unique_ptr<Job> makeMap()
{
    return std::make_unique<MapJob>();
}
