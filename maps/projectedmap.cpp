#include "maps/projectedmap.h"

#include "gdal/gdalsession.h"
#include "gdal/memoryraster.h"
#include "maps/graticule.h"
#include "maps/pngrows.h"
#include "maps/watermap.h"
#include "maps/worldmap.h"

#include <cpl_string.h>
#include <gdal_utils.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

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

// x and y of the point at (longitude, latitude) in degrees.
bool projectedPoint(void *srs, double longitude, double latitude, double *x, double *y)
{
    const Srs sphere = srsOf(sphereDefinition());
    OGRCoordinateTransformationH transform = OCTNewCoordinateTransformation(sphere.get(), srs);
    if (!transform)
        return false;
    *x = longitude;
    *y = latitude;
    const bool ok =
        OCTTransform(transform, 1, x, y, nullptr) && std::isfinite(*x) && std::isfinite(*y);
    OCTDestroyCoordinateTransformation(transform);
    return ok;
}

// The projection's half width and half height in metres: for a world
// projection its equator's half and its pole's distance from the equator,
// which bound the outline of all four; for the orthographic view the
// sphere's radius.
Status halfExtent(const MapOptions &options, double *halfWidth, double *halfHeight)
{
    if (options.projection == MapProjection::Orthographic) {
        *halfWidth = *halfHeight = earthRadiusM;
        return Status();
    }
    MapOptions centred = options;
    centred.centerLongitude = 0;
    const Srs srs = srsOf(projDefinition(centred));
    double x = 0, y = 0;
    if (!srs || !projectedPoint(srs.get(), 180, 0, halfWidth, &y) ||
        !projectedPoint(srs.get(), 0, 90, &x, halfHeight))
        return gdalFailure(options.out,
                           QStringLiteral("PROJ could not place the projection's outline"));
    *halfWidth = std::fabs(*halfWidth);
    *halfHeight = std::fabs(*halfHeight);
    return Status();
}

// The equirectangular source: as many columns as the map's scale gives the
// whole equator, so that the warper neither invents nor throws away detail
// (about 1.1 to 1.25 W for the world projections, pi W for the orthographic
// view, whose centre is seen at full scale), even, within maxMapWidth.
int sourceWidth(double halfWidth, int width)
{
    const double metresPerPixel = 2 * halfWidth / width;
    const int columns = int(std::ceil(2 * pi * earthRadiusM / metresPerPixel / 2)) * 2;
    return std::clamp(columns, 2, maxMapWidth);
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
    double halfWidth = 0, halfHeight = 0;
    const Status extent = halfExtent(options, &halfWidth, &halfHeight);
    if (!extent.ok())
        return extent;
    const int w = options.width;
    const double pixel = 2 * halfWidth / w;
    const int h = std::max(1, int(std::lround(2 * halfHeight / pixel)));
    const int columns = sourceWidth(halfWidth, w);
    QImage equirect = options.heightmap
                          ? renderHeightmap(mesh, columns, nullptr, progress.part(0, 0.4))
                          : renderColourMap(mesh, columns, progress.part(0, 0.4));
    // Water before the warp, which bends its lines with the land; river
    // widths are those of an equirectangular map as wide as this one.
    if (options.rivers && !options.heightmap)
        drawWaterOnMap(world, equirect, w);
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
    if (warped.ok() && options.graticule > 0 && !options.heightmap)
        drawProjectedGraticule(target.get(), sphere.get(), map, options.graticule);
    return warped;
}

Status projectedMapBytes(const ProjectedMap &map, MapFormat format, const QString &path,
                         QByteArray *bytes, const ProgressPart &progress)
{
    restrictGdal();
    GdalSession session;
    const bool heightmap = !map.alpha.isNull();
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
    return memoryRasterBytes(dataset.get(), "GTiff", options, path, bytes, progress);
}
