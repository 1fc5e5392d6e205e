#include "maps/mapfile.h"

#include "gdal/gdalsession.h"
#include "gdal/memoryraster.h"
#include "maps/cubemap.h"
#include "maps/graticule.h"
#include "maps/pngrows.h"
#include "maps/projectedmap.h"
#include "maps/turntable.h"
#include "maps/watermap.h"
#include "meshes/drawnmesh.h"
#include "world/atomicwrite.h"
#include "world/filenames.h"
#include "world/tablefile.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

#include <cpl_vsi.h>
#include <gdal.h>
#include <ogr_srs_api.h>

namespace {

// Copies the image's rows into the bands of an in-memory dataset.
bool fillBands(GDALDatasetH target, const QImage &image, bool grey)
{
    const int w = image.width(), h = image.height();
    for (int band = 1; band <= (grey ? 1 : 3); ++band) {
        GDALRasterBandH b = GDALGetRasterBand(target, band);
        const uchar *first = image.constBits() + (grey ? 0 : band - 1);
        if (GDALRasterIO(b, GF_Write, 0, 0, w, h, const_cast<uchar *>(first), w, h,
                         grey ? GDT_UInt16 : GDT_Byte, grey ? 2 : 3,
                         int(image.bytesPerLine())) != CE_None)
            return false;
        GDALSetRasterColorInterpretation(b, grey ? GCI_GrayIndex
                                                 : GDALColorInterp(GCI_RedBand + band - 1));
    }
    return true;
}

// The map as an in-memory dataset in EPSG:4326, its pixels copied in; west
// the longitude of its west edge.
GdalDataset equirectangularDataset(const QImage &image, bool grey, double west)
{
    const int w = image.width(), h = image.height();
    GdalDataset memory(GDALCreate(GDALGetDriverByName("MEM"), "", w, h, grey ? 1 : 3,
                                  grey ? GDT_UInt16 : GDT_Byte, nullptr));
    if (!memory || !fillBands(memory.get(), image, grey))
        return nullptr;
    double transform[6] = {west, 360.0 / w, 0, 90, 0, -180.0 / h};
    GDALSetGeoTransform(memory.get(), transform);
    OGRSpatialReferenceH wgs84 = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(wgs84, 4326);
    GDALSetSpatialRef(memory.get(), wgs84);
    OSRDestroySpatialReference(wgs84);
    GDALSetMetadataItem(memory.get(), "AREA_OR_POINT", "Area", nullptr);
    return memory;
}

bool geoTiffBytes(const QImage &image, double west, QByteArray *bytes, const ProgressPart &progress)
{
    GdalSession session;
    const bool grey = image.format() == QImage::Format_Grayscale16;
    const GdalDataset memory = equirectangularDataset(image, grey, west);
    if (!memory)
        return false;
    const char *name = "/vsimem/globe-world-map.tif";
    const char *options[] = {"COMPRESS=DEFLATE",
                             grey ? "PHOTOMETRIC=MINISBLACK" : "PHOTOMETRIC=RGB", nullptr};
    // Closed at once: the file is complete in memory only then.
    const bool ok = GdalDataset(GDALCreateCopy(GDALGetDriverByName("GTiff"), name, memory.get(),
                                               FALSE, const_cast<char **>(options), gdalProgress,
                                               const_cast<ProgressPart *>(&progress))) != nullptr;
    vsi_l_offset length = 0;
    GByte *data = ok ? VSIGetMemFileBuffer(name, &length, FALSE) : nullptr;
    if (data)
        *bytes = QByteArray(reinterpret_cast<const char *>(data), int(length));
    VSIUnlink(name);
    return data != nullptr;
}

// Google Earth's archive: GDAL's super-overlay of PNG tiles, each level of
// detail a region of its own, over the map as a GeoTIFF would place it.
Status kmzBytes(const QImage &image, double west, const QString &title, const QString &path,
                QByteArray *bytes, const ProgressPart &progress)
{
    restrictGdal();
    GdalSession session;
    const GdalDataset memory = equirectangularDataset(image, false, west);
    if (!memory)
        return Status::refused(path, QStringLiteral("GDAL could not hold the map in memory (%1)")
                                         .arg(GdalSession::lastError()));
    const QByteArray name = "NAME=" + title.toUtf8();
    const char *options[] = {"FORMAT=PNG", name.constData(), nullptr};
    return memoryRasterBytes(memory.get(), "KMLSUPEROVERLAY", options, path, bytes, progress,
                             nullptr, ".kmz");
}

Status writeCubeMap(const World &world, const DrawnMesh &mesh, const MapOptions &options,
                    const ProgressPart &progress)
{
    QVector<QImage> faces =
        renderCubeFaces(mesh, options.width / 4, options.heightmap, progress.part(0, 0.9));
    if (options.rivers)
        drawWaterOnCube(world, faces, options.riverMinAreaKm2);
    for (int face = 0; face < cubeFaces && options.graticule > 0; ++face)
        drawGraticule(faces[face], options.graticule, cubeFacePlaces(face, options.width / 4));
    // All six or none: a cube of faces from two worlds is no cube.
    QVector<FileWrite> files;
    for (int face = 0; face < cubeFaces; ++face) {
        progress.update(0.9 + 0.05 * face / cubeFaces);
        files.append({cubeFaceFile(options.out, face), pngBytes(faces[face])});
    }
    return writeFilesAtomically(files);
}

// The columns an equirectangular map W wide turns by to centre it on
// longitude centre: a whole number, so that every pixel keeps its own
// colour and the map stays exact; the centre is within half a pixel.
int centreShift(double centre, int width)
{
    return int(std::lround(centre / 360 * width)) % width;
}

// Column x of the result is column (x + shift) mod W of image.
QImage rolled(const QImage &image, int shift)
{
    const int w = image.width(), bytesPerPixel = image.depth() / 8;
    const int first = (shift % w + w) % w;
    QImage turned(image.size(), image.format());
    for (int y = 0; y < image.height(); ++y) {
        const uchar *from = image.constScanLine(y);
        uchar *to = turned.scanLine(y);
        const size_t right = size_t(w - first) * size_t(bytesPerPixel);
        std::copy(from + size_t(first) * size_t(bytesPerPixel),
                  from + size_t(w) * size_t(bytesPerPixel), to);
        std::copy(from, from + size_t(first) * size_t(bytesPerPixel), to + right);
    }
    return turned;
}

} // namespace

bool mapFormatOf(const QString &path, MapFormat *format)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        *format = MapFormat::Png;
    else if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff"))
        *format = MapFormat::GeoTiff;
    else if (suffix == QLatin1String("kmz"))
        *format = MapFormat::Kmz;
    else if (suffix == QLatin1String("webp"))
        *format = MapFormat::WebP;
    else if (suffix == QLatin1String("gif"))
        *format = MapFormat::Gif;
    else if (suffix == QLatin1String("mp4"))
        *format = MapFormat::Mp4;
    else
        return false;
    return true;
}

Status mapFileBytes(const QImage &image, MapFormat format, const QString &path, QByteArray *bytes,
                    const ProgressPart &progress, double west, const QString &title)
{
    if (format == MapFormat::Png) {
        *bytes = pngBytes(image);
        return Status();
    }
    if (format == MapFormat::Kmz)
        return kmzBytes(image, west, title, path, bytes, progress);
    if (geoTiffBytes(image, west, bytes, progress))
        return Status();
    return Status::refused(
        path, QStringLiteral("the GeoTIFF could not be made (%1)").arg(GdalSession::lastError()));
}

QString cubeFaceFile(const QString &out, int face)
{
    const QString suffix = QFileInfo(out).suffix();
    return QStringLiteral("%1-%2.%3")
        .arg(out.left(out.size() - suffix.size() - 1), QLatin1String(cubeFaceName(face)), suffix);
}

Status writeMap(const World &world, const MapOptions &options, int *unrestorable,
                const ProgressPart &progress)
{
    const DrawnMesh mesh = drawnMesh(world);
    *unrestorable = 0;
    if (options.projection == MapProjection::Cube)
        return writeCubeMap(world, mesh, options, progress);
    if (isAnimation(options.format))
        return writeTurntable(world, mesh, options, progress);
    QByteArray bytes;
    if (isWarped(options.projection)) {
        ProjectedMap map;
        QVector<FileWrite> files;
        Status made = renderProjectedMap(world, mesh, options, &map, progress.part(0, 0.8));
        if (made.ok())
            made = projectedMapFiles(map, options.format, options.out, &files,
                                     progress.part(0.8, 0.95));
        return made.ok() ? writeFilesAtomically(files) : made;
    }
    const int shift = centreShift(options.centerLongitude, options.width);
    if (options.format == MapFormat::Png && !options.heightmap && options.graticule <= 0 &&
        !options.rivers && shift == 0) {
        // The PNG is encoded while the rows below are still being drawn.
        PngRows png(options.width, options.width / 2,
                    QImage(1, 1, QImage::Format_RGB888).dotsPerMeterX());
        renderColourMap(mesh, options.width, progress.part(0, 0.95),
                        [&png](const QImage &image, int y0, int y1) {
                            for (int y = y0; y < y1; ++y)
                                png.writeRow(image.constScanLine(y));
                        });
        const Status encoded = png.finish(options.out, &bytes);
        return encoded.ok() ? writeFileAtomically(options.out, bytes) : encoded;
    }
    const ProgressPart drawing = progress.part(0, 0.8);
    QImage image = options.heightmap ? renderHeightmap(mesh, options.width, unrestorable, drawing)
                                     : renderColourMap(mesh, options.width, drawing);
    if (options.rivers)
        drawWaterOnMap(world, image, 0, options.riverMinAreaKm2);
    if (options.graticule > 0 && !options.heightmap)
        drawGraticule(image, options.graticule,
                      equirectangularPlaces(image.width(), image.height()));
    if (shift != 0)
        image = rolled(image, shift);
    const Status made =
        mapFileBytes(image, options.format, options.out, &bytes, progress.part(0.8, 0.95),
                     -180 + 360.0 * shift / options.width, options.title);
    return made.ok() ? writeFileAtomically(options.out, bytes) : made;
}
