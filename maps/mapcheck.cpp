#include "maps/mapcheck.h"

#include "maps/graticule.h"
#include "maps/mapfile.h"
#include "maps/projectedmap.h"
#include "maps/turntable.h"
#include "world/filenames.h"

#include <cmath>
#include <limits>

namespace {

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
                                 .arg(shownName(text)));
    if (options.projection == MapProjection::Cube && options.format != MapFormat::Png)
        return Status::usage(QStringLiteral("%1: a cube map's faces are PNGs: name it NAME.png")
                                 .arg(shownName(options.out)));
    return Status();
}

// A cube's faces are a quarter of the width, as the equator's four faces are.
// A turntable's frames are smaller by default, and H.264 wants even sides.
Status readWidth(const OptionTexts &given, MapOptions &options)
{
    const bool cube = options.projection == MapProjection::Cube;
    const bool turntable = isAnimation(options.format);
    const QString text = turntable && !given.isSet(QStringLiteral("width"))
                             ? QString::number(defaultTurntableWidth)
                             : given.value(QStringLiteral("width"));
    const int step = cube ? 4 : 2, most = turntable ? maxTurntableWidth : maxMapWidth;
    bool ok = false;
    options.width = text.toInt(&ok);
    if (ok && options.width >= step && options.width <= most && options.width % step == 0)
        return Status();
    const QString rule = cube        ? QStringLiteral("a multiple of 4 from 4 to %1 for a cube")
                         : turntable ? QStringLiteral("an even number from 2 to %1 for a turntable")
                                     : QStringLiteral("an even number from 2 to %1");
    return Status::usage(
        QStringLiteral("--width must be %1, not '%2'").arg(rule.arg(most), shownName(text)));
}

// What a KMZ and a turntable allow: Google Earth places the map itself, a
// turntable is orthographic; neither holds a heightmap.
Status readKind(const OptionTexts &given, const MapOptions &options)
{
    const bool kmz = options.format == MapFormat::Kmz, turntable = isAnimation(options.format);
    if (!kmz && !turntable)
        return Status();
    const QString file = shownName(options.out);
    if (given.isSet(QStringLiteral("projection")))
        return Status::usage(
            kmz ? QStringLiteral("%1: a KMZ is placed on Google Earth's globe: leave out "
                                 "--projection")
                      .arg(file)
                : QStringLiteral("%1: a turntable is orthographic: leave out --projection")
                      .arg(file));
    if (kmz && given.isSet(QStringLiteral("center")))
        return Status::usage(
            QStringLiteral("%1: a KMZ is placed on Google Earth's globe: leave out --center")
                .arg(file));
    if (given.isSet(QStringLiteral("heightmap")))
        return Status::usage(QStringLiteral("%1: --heightmap writes levels as grey: give it a "
                                            ".png or .tif")
                                 .arg(file));
    return Status();
}

// --frames N, for a turntable alone.
Status readFrames(const OptionTexts &given, MapOptions &options)
{
    const QString name = QStringLiteral("frames");
    if (!isAnimation(options.format)) {
        if (given.isSet(name))
            return Status::usage(QStringLiteral("%1: --frames makes a turntable: name it "
                                                "FILE.webp, FILE.gif or FILE.mp4")
                                     .arg(shownName(options.out)));
        return Status();
    }
    double frames = defaultTurntableFrames;
    const QString text = given.value(name);
    if (given.isSet(name) &&
        (!numberInRange(text, minTurntableFrames, maxTurntableFrames, &frames) ||
         frames != std::floor(frames)))
        return Status::usage(
            QStringLiteral("--frames must be a whole number from %1 to %2, not '%3'")
                .arg(minTurntableFrames)
                .arg(maxTurntableFrames)
                .arg(shownName(text)));
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

// --center LON or LON,LAT, for the maps that have a centre.
Status readCenter(const OptionTexts &given, MapOptions &options)
{
    if (!given.isSet(QStringLiteral("center")))
        return Status();
    const QString text = given.value(QStringLiteral("center"));
    const bool plain = options.projection == MapProjection::Equirectangular;
    if (!isWarped(options.projection) && !plain)
        return Status::usage(QStringLiteral("--center is for the equirectangular map and the "
                                            "warped projections, not %1")
                                 .arg(QLatin1String(projectionName(options.projection))));
    if (plain && options.heightmap)
        return Status::usage(QStringLiteral("--center: a heightmap keeps the central meridian "
                                            "0, so that an import restores every level"));
    const QStringList parts = text.split(QLatin1Char(','));
    const bool orthographic = options.projection == MapProjection::Orthographic;
    if (parts.size() > 2 || !numberInRange(parts[0], -180, 180, &options.centerLongitude) ||
        (parts.size() == 2 && !numberInRange(parts[1], -90, 90, &options.centerLatitude)))
        return Status::usage(QStringLiteral("--center must be LON or LON,LAT with LON from -180 "
                                            "to 180 and LAT from -90 to 90, not '%1'")
                                 .arg(shownName(text)));
    if (!orthographic && options.centerLatitude != 0)
        return Status::usage(QStringLiteral("--center: a world projection is centred on a "
                                            "meridian: give LON alone, not '%1'")
                                 .arg(shownName(text)));
    return Status();
}

Status readGraticule(const OptionTexts &given, MapOptions &options)
{
    if (!given.isSet(QStringLiteral("graticule")))
        return Status();
    const QString text = given.value(QStringLiteral("graticule"));
    if (!numberInRange(text, 0, 90, &options.graticule) || !isGraticuleStep(options.graticule))
        return Status::usage(
            QStringLiteral("--graticule must be more than 0 and at most 90 degrees, not '%1'")
                .arg(shownName(text)));
    if (options.heightmap)
        return Status::usage(
            QStringLiteral("--graticule draws on colours: a heightmap holds levels only"));
    return Status();
}

// --min-area, the rivers command's threshold for the rivers drawn.
Status readMinArea(const OptionTexts &given, MapOptions &options)
{
    if (!given.isSet(QStringLiteral("min-area")))
        return Status();
    const QString text = given.value(QStringLiteral("min-area"));
    if (!options.rivers)
        return Status::usage(QStringLiteral("--min-area chooses the rivers drawn: give --rivers "
                                            "too"));
    if (!numberInRange(text, 0, std::numeric_limits<double>::max(), &options.riverMinAreaKm2))
        return Status::usage(QStringLiteral("--min-area must be a number of km² from 0, not '%1'")
                                 .arg(shownName(text)));
    return Status();
}

// The output file, from --out or its synonym --png, and its format.
Status readOutput(const OptionTexts &given, QString *file, MapFormat *format)
{
    const QString out = QStringLiteral("out"), png = QStringLiteral("png");
    if (given.isSet(out) && given.isSet(png))
        return Status::usage(QStringLiteral("map: give --out FILE or --png FILE, not both"));
    const Status named = given.required(given.isSet(png) ? png : out, file);
    if (!named.ok() || mapFormatOf(*file, format))
        return named;
    return Status::usage(QStringLiteral("%1: the name must end in .png (a PNG), .tif or .tiff (a "
                                        "GeoTIFF), .kmz (Google Earth), or .webp, .gif or .mp4 "
                                        "(a turntable)")
                             .arg(shownName(*file)));
}

} // namespace

Status checkMapOptions(const OptionTexts &given, MapOptions *options)
{
    Status read = readOutput(given, &options->out, &options->format);
    if (read.ok())
        read = readKind(given, *options);
    if (read.ok())
        read = readProjection(given.value(QStringLiteral("projection")), *options);
    if (read.ok())
        read = readWidth(given, *options);
    if (read.ok())
        read = readFrames(given, *options);
    options->heightmap = given.isSet(QStringLiteral("heightmap"));
    if (read.ok())
        read = readCenter(given, *options);
    if (read.ok())
        read = readGraticule(given, *options);
    if (!read.ok())
        return read;
    options->rivers = given.isSet(QStringLiteral("rivers"));
    if (options->rivers && options->heightmap)
        return Status::usage(QStringLiteral("--rivers draws on a colour map, not on a "
                                            "heightmap"));
    return readMinArea(given, *options);
}
