#include "maps/projectedmap.h"

#include "gdal/gdalsession.h"
#include "gdal/memoryraster.h"
#include "maps/graticule.h"
#include "maps/pngrows.h"
#include "maps/watermap.h"
#include "maps/worldmap.h"

#include <QFileInfo>

#include <cpl_string.h>
#include <gdal_utils.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// Winkel's own standard parallel, acos(2 / pi), where his equirectangular
// half is true to scale; PROJ's WKT carries 0 unless it is given.
const double winkelParallel = std::acos(2 / pi) * 180 / pi;

struct Projection
{
    MapProjection projection;
    const char *name;
    const char *proj; // PROJ's name; null when not warped
};

const Projection projections[] = {
    {MapProjection::Equirectangular, "equirectangular", nullptr},
    {MapProjection::Cube, "cube", nullptr},
    {MapProjection::Mollweide, "mollweide", "moll"},
    {MapProjection::Robinson, "robinson", "robin"},
    {MapProjection::WinkelTripel, "winkel-tripel", "wintri"},
    {MapProjection::EqualEarth, "equal-earth", "eqearth"},
    {MapProjection::Orthographic, "orthographic", "ortho"},
};

const Projection &entryOf(MapProjection projection)
{
    for (const Projection &entry : projections) {
        if (entry.projection == projection)
            return entry;
    }
    return projections[0];
}

// PROJ's coordinate system, freed when it goes out of scope.
struct SrsFreer
{
    void operator()(void *srs) const { OSRDestroySpatialReference(srs); }
};
using Srs = std::unique_ptr<void, SrsFreer>;

Srs srsOf(const QString &definition)
{
    Srs srs(OSRNewSpatialReference(nullptr));
    OSRSetAxisMappingStrategy(srs.get(), OAMS_TRADITIONAL_GIS_ORDER);
    if (OSRImportFromProj4(srs.get(), definition.toLatin1().constData()) != OGRERR_NONE)
        return nullptr;
    return srs;
}

// Longitude and latitude on the same sphere, for the equirectangular source.
QString sphereDefinition()
{
    return QStringLiteral("+proj=longlat +R=%1 +no_defs").arg(earthRadiusM, 0, 'f', 0);
}

// A MEM dataset over the image's pixels (and alpha's, when not null).
GdalDataset datasetOver(const QImage &image, const QImage &alpha)
{
    const int w = image.width(), h = image.height();
    const int line = int(image.bytesPerLine());
    std::vector<RasterBandView> bands;
    if (image.format() == QImage::Format_Grayscale16) {
        bands.push_back({image.constBits(), GDT_UInt16, 2, line, GCI_GrayIndex});
    } else {
        const int pixel = image.format() == QImage::Format_RGBA8888 ? 4 : 3;
        for (int c = 0; c < 3; ++c)
            bands.push_back(
                {image.constBits() + c, GDT_Byte, pixel, line, GDALColorInterp(GCI_RedBand + c)});
        if (pixel == 4)
            bands.push_back({image.constBits() + 3, GDT_Byte, 4, line, GCI_AlphaBand});
    }
    if (!alpha.isNull())
        bands.push_back(
            {alpha.constBits(), GDT_UInt16, 2, int(alpha.bytesPerLine()), GCI_AlphaBand});
    return memoryRasterOver(w, h, bands);
}

// "PATH: WHAT (GDAL's last error)", path the map's file.
Status gdalFailure(const QString &path, const QString &what)
{
    return Status::refused(path, QStringLiteral("%1 (%2)").arg(what, GdalSession::lastError()));
}

// x and y of the point at (longitude, latitude) in degrees, through transform.
bool projectedPoint(OGRCoordinateTransformationH transform, double longitude, double latitude,
                    double *x, double *y)
{
    *x = longitude;
    *y = latitude;
    return OCTTransform(transform, 1, x, y, nullptr) && std::isfinite(*x) && std::isfinite(*y);
}

// PROJ's transformation from the sphere's longitude and latitude into srs.
struct TransformFreer
{
    void operator()(void *transform) const { OCTDestroyCoordinateTransformation(transform); }
};
using Transform = std::unique_ptr<void, TransformFreer>;

Transform forwardInto(void *srs)
{
    const Srs sphere = srsOf(sphereDefinition());
    return Transform(sphere ? OCTNewCoordinateTransformation(sphere.get(), srs) : nullptr);
}

// The globe's outline on the map, in metres from the map's centre: for a
// world projection the image of the meridian opposite the central one,
// taken from PROJ's forward projection at edgeSamples latitudes and
// mirrored about the central meridian (every world projection here is
// symmetric about it, and each line of constant y crosses its outline
// once on each side); for the orthographic view the sphere's disc.
class Outline
{
public:
    Status trace(const MapOptions &options);
    double halfWidth() const { return width; }
    double halfHeight() const { return height; }
    // Half the outline's width at height y in metres; 0 beyond its top and bottom.
    double halfWidthAt(double y) const;

private:
    static const int edgeSamples = 4096;
    bool disc = false;
    double width = 0, height = 0;
    std::vector<double> ys, xs; // the edge from the south pole up, y increasing
};

Status Outline::trace(const MapOptions &options)
{
    disc = options.projection == MapProjection::Orthographic;
    if (disc) {
        width = height = earthRadiusM;
        return Status();
    }
    MapOptions centred = options;
    centred.centerLongitude = 0;
    const Srs srs = srsOf(projDefinition(centred));
    const Transform forward = forwardInto(srs.get());
    ys.resize(edgeSamples + 1);
    xs.resize(edgeSamples + 1);
    for (int i = 0; i <= edgeSamples; ++i) {
        if (!forward ||
            !projectedPoint(forward.get(), 180, 180.0 * i / edgeSamples - 90, &xs[i], &ys[i]))
            return gdalFailure(options.out,
                               QStringLiteral("PROJ could not place the projection's outline"));
        xs[i] = std::fabs(xs[i]);
        width = std::max(width, xs[i]);
    }
    height = ys.back();
    return Status();
}

double Outline::halfWidthAt(double y) const
{
    if (disc)
        return std::fabs(y) < earthRadiusM ? std::sqrt(earthRadiusM * earthRadiusM - y * y) : 0;
    if (y < ys.front() || y > ys.back())
        return 0;
    const size_t i = std::max<size_t>(1, std::lower_bound(ys.begin(), ys.end(), y) - ys.begin());
    const double span = ys[i] - ys[i - 1];
    const double f = span > 0 ? (y - ys[i - 1]) / span : 1;
    return xs[i - 1] + f * (xs[i] - xs[i - 1]);
}

// How much of each pixel of row y the outline covers, 0 to 1: the exact
// share of each of coverageRows lines across the pixel, so that the edge
// is as smooth as the lines are many.
void coverageOfRow(const Outline &outline, const double transform[6], int y,
                   std::vector<double> &cover)
{
    const int coverageRows = 16;
    const int w = int(cover.size());
    std::fill(cover.begin(), cover.end(), 0.0);
    std::vector<double> steps(size_t(w) + 1, 0.0); // whole pixels, as a running sum
    const double share = 1.0 / coverageRows;
    for (int s = 0; s < coverageRows; ++s) {
        const double metres = transform[3] + (y + (s + 0.5) * share) * transform[5];
        const double half = outline.halfWidthAt(metres) / transform[1];
        const double left = std::clamp(w / 2.0 - half, 0.0, double(w));
        const double right = std::clamp(w / 2.0 + half, 0.0, double(w));
        if (right <= left)
            continue;
        const int l = int(std::floor(left)), r = int(std::floor(right));
        if (l == r) {
            cover[size_t(l)] += (right - left) * share;
            continue;
        }
        cover[size_t(l)] += (l + 1 - left) * share;
        steps[size_t(l) + 1] += share;
        steps[size_t(r)] -= share;
        if (r < w)
            cover[size_t(r)] += (right - r) * share;
    }
    double whole = 0;
    for (int x = 0; x < w; ++x) {
        whole += steps[size_t(x)];
        cover[size_t(x)] = std::min(1.0, cover[size_t(x)] + whole);
    }
}

// The equirectangular source: fine enough that none of its pixels spans
// more than one of the map's in any direction anywhere on the globe (the
// finest place is the centre of the orthographic view, and the equator of
// a world projection, each measured through PROJ), so that the warper
// never magnifies the source; even, within maxSourceWidth.
const int maxSourceWidth = 2 * maxMapWidth;

int sourceWidth(void *srs, double metresPerPixel, const MapOptions &options)
{
    const Transform forward = forwardInto(srs);
    const double step = 0.01; // degrees
    double pixelsPerDegree = 1;
    const auto measure = [&](double longitude, double latitude) {
        double x0, y0, x1, y1, x2, y2;
        if (!projectedPoint(forward.get(), longitude, latitude, &x0, &y0) ||
            !projectedPoint(forward.get(), longitude + step, latitude, &x1, &y1) ||
            !projectedPoint(forward.get(), longitude, latitude + step, &x2, &y2))
            return; // beyond the orthographic view's horizon
        const double along = std::hypot(x1 - x0, y1 - y0), across = std::hypot(x2 - x0, y2 - y0);
        pixelsPerDegree =
            std::max(pixelsPerDegree, std::max(along, across) / step / metresPerPixel);
    };
    if (forward)
        measure(options.centerLongitude, std::min(options.centerLatitude, 90 - step));
    for (double latitude = -89.5; forward && latitude < 90; latitude += 1) {
        for (double longitude = -179.5; longitude < 180; longitude += 1)
            measure(longitude, latitude);
    }
    const int columns = int(std::ceil(360 * pixelsPerDegree / 2)) * 2;
    return std::clamp(columns, 2, maxSourceWidth);
}

// The source map as a dataset in longitude and latitude on the sphere.
GdalDataset sourceOver(const QImage &equirectangular, void *sphere)
{
    GdalDataset source = datasetOver(equirectangular, QImage());
    if (!source)
        return nullptr;
    const int w = equirectangular.width(), h = equirectangular.height();
    double transform[6] = {-180, 360.0 / w, 0, 90, 0, -180.0 / h};
    GDALSetGeoTransform(source.get(), transform);
    GDALSetSpatialRef(source.get(), sphere);
    return source;
}

Status warp(GDALDatasetH source, GDALDatasetH target, bool heightmap, const QString &path,
            const ProgressPart &progress)
{
    // Nearest for heights: a level is a class, not a quantity to blend.
    // INIT_DEST: the target starts transparent, and is not read first.
    const char *arguments[] = {"-r",
                               heightmap ? "near" : "bilinear",
                               "-dstalpha",
                               "-wo",
                               "INIT_DEST=0",
                               "-wo",
                               heightmap ? "DST_ALPHA_MAX=65535" : "DST_ALPHA_MAX=255",
                               nullptr};
    GDALWarpAppOptions *options = GDALWarpAppOptionsNew(const_cast<char **>(arguments), nullptr);
    if (!options)
        return gdalFailure(path, QStringLiteral("GDAL's warper refused its options"));
    GDALWarpAppOptionsSetProgress(options, gdalProgress, const_cast<ProgressPart *>(&progress));
    int usageError = 0;
    GDALDatasetH sources[] = {source};
    GDALDatasetH warped = GDALWarp(nullptr, target, 1, sources, options, &usageError);
    GDALWarpAppOptionsFree(options);
    if (!warped)
        return gdalFailure(path, QStringLiteral("GDAL's warper failed"));
    return Status();
}

// The graticule over the warped colours: each pixel centre's longitude and
// latitude through PROJ's inverse of the projection, so that the lines lie
// where the warped globe shows those places.
void drawProjectedGraticule(void *target, void *sphere, ProjectedMap *map, double step)
{
    OGRCoordinateTransformationH inverse = OCTNewCoordinateTransformation(target, sphere);
    if (!inverse)
        return;
    const int w = map->image.width();
    const double *t = map->transform;
    std::vector<int> ok(size_t(w), 0);
    const QImage &image = map->image;
    drawGraticule(map->image, step, [&](int y, double *longitude, double *latitude) {
        for (int x = 0; x < w; ++x) {
            longitude[x] = t[0] + (x + 0.5) * t[1];
            latitude[x] = t[3] + (y + 0.5) * t[5];
        }
        OCTTransformEx(inverse, w, longitude, latitude, nullptr, ok.data());
        const uchar *alpha = image.constScanLine(y) + 3;
        for (int x = 0; x < w; ++x) {
            if (!ok[x] || alpha[4 * x] == 0)
                longitude[x] = latitude[x] = std::nan("");
        }
    });
    OCTDestroyCoordinateTransformation(inverse);
}

// The map cut to the globe's outline: alpha is the pixel's coverage (for a
// heightmap, whole where the pixel's centre is inside), nothing is left
// beyond it (the warper fills the whole rectangle where PROJ's inverse
// goes on past the edge, as Equal Earth's and Winkel tripel's do), and an
// edge pixel whose centre the warper left empty takes its inner
// neighbour's colour, so the edge does not darken.
void cutToOutline(const Outline &outline, ProjectedMap *map)
{
    const bool heightmap = !map->alpha.isNull();
    const int w = map->image.width();
    std::vector<double> cover(static_cast<size_t>(w));
    for (int y = 0; y < map->image.height(); ++y) {
        coverageOfRow(outline, map->transform, y, cover);
        if (heightmap) {
            auto *height = reinterpret_cast<quint16 *>(map->image.scanLine(y));
            auto *alpha = reinterpret_cast<quint16 *>(map->alpha.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const bool inside = cover[size_t(x)] >= 0.5;
                if (inside && alpha[x] == 0)
                    height[x] = height[x < w / 2 ? x + 1 : x - 1];
                if (!inside)
                    height[x] = 0;
                alpha[x] = inside ? 65535 : 0;
            }
            continue;
        }
        uchar *rgba = map->image.scanLine(y);
        for (int x = 0; x < w; ++x) {
            uchar *p = rgba + 4 * x;
            const int a = int(std::lround(255 * cover[size_t(x)]));
            if (a == 0) {
                std::fill(p, p + 4, uchar(0));
                continue;
            }
            for (int step = 1; p[3] == 0 && step <= 3; ++step) {
                const int inner = x < w / 2 ? std::min(x + step, w - 1) : std::max(x - step, 0);
                std::copy(rgba + 4 * inner, rgba + 4 * inner + 4, p);
            }
            p[3] = uchar(a);
        }
    }
}

} // namespace

const char *projectionName(MapProjection projection)
{
    return entryOf(projection).name;
}

bool projectionNamed(const QString &name, MapProjection *projection)
{
    for (const Projection &entry : projections) {
        if (name == QLatin1String(entry.name)) {
            *projection = entry.projection;
            return true;
        }
    }
    return false;
}

bool isWarped(MapProjection projection)
{
    return entryOf(projection).proj != nullptr;
}

QString projDefinition(const MapOptions &options)
{
    QString definition = QStringLiteral("+proj=%1 +lon_0=%2")
                             .arg(QLatin1String(entryOf(options.projection).proj))
                             .arg(options.centerLongitude, 0, 'g', 17);
    if (options.projection == MapProjection::Orthographic)
        definition += QStringLiteral(" +lat_0=%1").arg(options.centerLatitude, 0, 'g', 17);
    if (options.projection == MapProjection::WinkelTripel)
        definition += QStringLiteral(" +lat_1=%1").arg(winkelParallel, 0, 'g', 17);
    return definition + QStringLiteral(" +R=%1 +units=m +no_defs").arg(earthRadiusM, 0, 'f', 0);
}

Status renderProjectedMap(const World &world, const DrawnMesh &mesh, const MapOptions &options,
                          ProjectedMap *map, const ProgressPart &progress)
{
    restrictGdal();
    GdalSession session;
    const Srs sphere = srsOf(sphereDefinition()), target = srsOf(projDefinition(options));
    if (!sphere || !target)
        return gdalFailure(options.out,
                           QStringLiteral("PROJ does not know %1").arg(projDefinition(options)));
    Outline outline;
    if (const Status traced = outline.trace(options); !traced.ok())
        return traced;
    const int w = options.width;
    const double pixel = 2 * outline.halfWidth() / w;
    const int h = std::max(1, int(std::lround(2 * outline.halfHeight() / pixel)));
    const int columns = sourceWidth(target.get(), pixel, options);
    QImage equirect = options.heightmap
                          ? renderHeightmap(mesh, columns, nullptr, progress.part(0, 0.4))
                          : renderColourMap(mesh, columns, progress.part(0, 0.4));
    // Water before the warp, which bends its lines with the land; river
    // widths are those of an equirectangular map as wide as this one.
    if (options.rivers && !options.heightmap)
        drawWaterOnMap(world, equirect, w, options.riverMinAreaKm2);
    const GdalDataset source = sourceOver(equirect, sphere.get());

    map->image =
        QImage(w, h, options.heightmap ? QImage::Format_Grayscale16 : QImage::Format_RGBA8888);
    map->image.fill(0);
    map->alpha = QImage();
    if (options.heightmap) {
        map->alpha = QImage(w, h, QImage::Format_Grayscale16);
        map->alpha.fill(0);
    }
    const double transform[6] = {-w * pixel / 2, pixel, 0, h * pixel / 2, 0, -pixel};
    std::copy(transform, transform + 6, map->transform);
    map->definition = projDefinition(options);
    const GdalDataset destination = datasetOver(map->image, map->alpha);
    if (!source || !destination)
        return gdalFailure(options.out, QStringLiteral("GDAL could not hold the map in memory"));
    GDALSetGeoTransform(destination.get(), map->transform);
    GDALSetSpatialRef(destination.get(), target.get());
    const Status warped = warp(source.get(), destination.get(), options.heightmap, options.out,
                               progress.part(0.4, 0.9));
    if (!warped.ok())
        return warped;
    cutToOutline(outline, map);
    if (options.graticule > 0 && !options.heightmap)
        drawProjectedGraticule(target.get(), sphere.get(), map, options.graticule);
    return warped;
}

Status projectedMapFiles(const ProjectedMap &map, MapFormat format, const QString &path,
                         QVector<FileWrite> *files, const ProgressPart &progress)
{
    restrictGdal();
    GdalSession session;
    const bool heightmap = !map.alpha.isNull();
    files->append({path, QByteArray()});
    QByteArray *bytes = &files->back().bytes;
    if (format == MapFormat::Png && !heightmap) {
        *bytes = pngBytes(map.image);
        return Status();
    }
    const GdalDataset dataset = datasetOver(map.image, map.alpha);
    if (!dataset)
        return gdalFailure(path, QStringLiteral("GDAL could not hold the map in memory"));
    if (format == MapFormat::Png)
        return memoryRasterBytes(dataset.get(), "PNG", nullptr, path, bytes, progress);
    GDALSetGeoTransform(dataset.get(), const_cast<double *>(map.transform));
    const Srs srs = srsOf(map.definition);
    GDALSetSpatialRef(dataset.get(), srs.get());
    GDALSetMetadataItem(dataset.get(), "AREA_OR_POINT", "Area", nullptr);
    const char *options[] = {"COMPRESS=DEFLATE",
                             heightmap ? "PHOTOMETRIC=MINISBLACK" : "PHOTOMETRIC=RGB",
                             "ALPHA=UNASSOCIATED", nullptr};
    QByteArray side;
    const Status made =
        memoryRasterBytes(dataset.get(), "GTiff", options, path, bytes, progress, &side);
    // One left beside the name by an earlier map would name its projection
    // over this one's keys, as GDAL reads the side file first.
    if (made.ok() && side.isEmpty() && QFileInfo::exists(path + QStringLiteral(".aux.xml")))
        side = auxiliarySrsFile(srs.get());
    if (made.ok() && !side.isEmpty())
        files->append({path + QStringLiteral(".aux.xml"), side});
    return made;
}
