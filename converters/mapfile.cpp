#include "converters/mapfile.h"

#include "converters/cubemap.h"
#include "converters/drawnmesh.h"
#include "converters/gdalsession.h"
#include "converters/graticule.h"
#include "converters/pngrows.h"
#include "converters/projectedmap.h"
#include "world/atomicwrite.h"
#include "world/filenames.h"
#include "world/tablefile.h"

#include <QBuffer>
#include <QFileInfo>

#include <cpl_vsi.h>
#include <gdal.h>
#include <ogr_srs_api.h>

namespace {

// The CRC of a PNG chunk (ISO 3309, as the PNG standard gives it).
quint32 chunkCrc(const QByteArray &typeAndData)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : typeAndData) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? 0xedb88320u ^ (crc >> 1) : crc >> 1;
    }
    return crc ^ 0xffffffffu;
}

QByteArray bigEndian(quint32 value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

// Qt marks a colour space with an ICC profile; the sRGB chunk says the same
// in one byte, and every reader knows it. It goes right after IHDR, which is
// 8 + 4 + 4 + 13 + 4 bytes into the file.
QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    if (image.format() == QImage::Format_Grayscale16)
        return bytes;                                      // heights, not colours
    const QByteArray chunk = QByteArray("sRGB") + char(0); // perceptual intent
    bytes.insert(33, bigEndian(1) + chunk + bigEndian(chunkCrc(chunk)));
    return bytes;
}

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

bool geoTiffBytes(const QImage &image, QByteArray *bytes, const ProgressPart &progress)
{
    GdalSession session;
    const bool grey = image.format() == QImage::Format_Grayscale16;
    const int w = image.width(), h = image.height();
    GDALDatasetH memory = GDALCreate(GDALGetDriverByName("MEM"), "", w, h, grey ? 1 : 3,
                                     grey ? GDT_UInt16 : GDT_Byte, nullptr);
    if (!memory)
        return false;
    double transform[6] = {-180, 360.0 / w, 0, 90, 0, -180.0 / h};
    GDALSetGeoTransform(memory, transform);
    OGRSpatialReferenceH wgs84 = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(wgs84, 4326);
    GDALSetSpatialRef(memory, wgs84);
    OSRDestroySpatialReference(wgs84);
    GDALSetMetadataItem(memory, "AREA_OR_POINT", "Area", nullptr);
    bool ok = fillBands(memory, image, grey);
    const char *name = "/vsimem/globe-world-map.tif";
    const char *options[] = {"COMPRESS=DEFLATE",
                             grey ? "PHOTOMETRIC=MINISBLACK" : "PHOTOMETRIC=RGB", nullptr};
    GDALDatasetH tiff = ok ? GDALCreateCopy(GDALGetDriverByName("GTiff"), name, memory, FALSE,
                                            const_cast<char **>(options), gdalProgress,
                                            const_cast<ProgressPart *>(&progress))
                           : nullptr;
    GDALClose(memory);
    ok = tiff != nullptr;
    if (tiff)
        GDALClose(tiff);
    vsi_l_offset length = 0;
    GByte *data = ok ? VSIGetMemFileBuffer(name, &length, FALSE) : nullptr;
    if (data)
        *bytes = QByteArray(reinterpret_cast<const char *>(data), int(length));
    VSIUnlink(name);
    return data != nullptr;
}

Status writeCubeMap(const DrawnMesh &mesh, const MapOptions &options, const ProgressPart &progress)
{
    QVector<QImage> faces =
        renderCubeFaces(mesh, options.width / 4, options.heightmap, progress.part(0, 0.9));
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

} // namespace

bool mapFormatOf(const QString &path, MapFormat *format)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        *format = MapFormat::Png;
    else if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff"))
        *format = MapFormat::GeoTiff;
    else
        return false;
    return true;
}

bool mapFileBytes(const QImage &image, MapFormat format, QByteArray *bytes, QString *error,
                  const ProgressPart &progress)
{
    if (format == MapFormat::Png) {
        *bytes = pngBytes(image);
        return true;
    }
    if (geoTiffBytes(image, bytes, progress))
        return true;
    if (error)
        *error = QStringLiteral("the GeoTIFF could not be made (%1)").arg(GdalSession::lastError());
    return false;
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
        return writeCubeMap(mesh, options, progress);
    QByteArray bytes;
    if (isWarped(options.projection)) {
        ProjectedMap map;
        Status made = renderProjectedMap(mesh, options, &map, progress.part(0, 0.8));
        if (made.ok())
            made = projectedMapBytes(map, options.format, &bytes, progress.part(0.8, 0.95));
        if (!made.ok())
            return Status::refused(
                QStringLiteral("%1: %2").arg(shownName(options.out), made.message()));
        return writeFileAtomically(options.out, bytes);
    }
    if (options.format == MapFormat::Png && !options.heightmap && options.graticule <= 0) {
        // The PNG is encoded while the rows below are still being drawn.
        PngRows png(options.width, options.width / 2,
                    QImage(1, 1, QImage::Format_RGB888).dotsPerMeterX());
        renderColourMap(mesh, options.width, progress.part(0, 0.95),
                        [&png](const QImage &image, int y0, int y1) {
                            for (int y = y0; y < y1; ++y)
                                png.writeRow(image.constScanLine(y));
                        });
        const Status encoded = png.finish(&bytes);
        if (!encoded.ok())
            return Status::refused(
                QStringLiteral("%1: %2").arg(shownName(options.out), encoded.message()));
        return writeFileAtomically(options.out, bytes);
    }
    const ProgressPart drawing = progress.part(0, 0.8);
    QImage image = options.heightmap ? renderHeightmap(mesh, options.width, unrestorable, drawing)
                                     : renderColourMap(mesh, options.width, drawing);
    if (options.graticule > 0 && !options.heightmap)
        drawGraticule(image, options.graticule,
                      equirectangularPlaces(image.width(), image.height()));
    QString error;
    if (!mapFileBytes(image, options.format, &bytes, &error, progress.part(0.8, 0.95)))
        return Status::refused(QStringLiteral("%1: %2").arg(shownName(options.out), error));
    return writeFileAtomically(options.out, bytes);
}
