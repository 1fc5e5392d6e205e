#include "gdal/memoryraster.h"

#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <ogr_srs_api.h>

#include <QString>

#include <atomic>

GdalDataset memoryRasterOver(int width, int height, const std::vector<RasterBandView> &bands)
{
    GdalDataset dataset(
        GDALCreate(GDALGetDriverByName("MEM"), "", width, height, 0, GDT_Byte, nullptr));
    for (size_t b = 0; dataset && b < bands.size(); ++b) {
        const RasterBandView &band = bands[b];
        const QByteArray pointer = "DATAPOINTER=" + QByteArray::number(quintptr(band.first)),
                         pixel = "PIXELOFFSET=" + QByteArray::number(band.pixelBytes),
                         line = "LINEOFFSET=" + QByteArray::number(band.lineBytes);
        const char *options[] = {pointer.constData(), pixel.constData(), line.constData(), nullptr};
        if (GDALAddBand(dataset.get(), band.type, const_cast<char **>(options)) != CE_None)
            return nullptr;
        GDALSetRasterColorInterpretation(GDALGetRasterBand(dataset.get(), int(b) + 1), band.colour);
    }
    return dataset;
}

QByteArray auxiliarySrsFile(OGRSpatialReferenceH srs)
{
    char *wkt = nullptr;
    const char *wktOptions[] = {"FORMAT=WKT2_2019", "MULTILINE=NO", nullptr};
    if (OSRExportToWktEx(srs, &wkt, wktOptions) != OGRERR_NONE) {
        CPLFree(wkt);
        return QByteArray();
    }
    const QString text = QString::fromUtf8(wkt).toHtmlEscaped();
    CPLFree(wkt);
    return "<PAMDataset>\n  <SRS dataAxisToSRSAxisMapping=\"1,2\">" + text.toUtf8() +
           "</SRS>\n</PAMDataset>\n";
}

Status memoryRasterBytes(GDALDatasetH dataset, const char *driver, const char *const *options,
                         const QString &path, QByteArray *bytes, const ProgressPart &progress,
                         QByteArray *sideFile, const char *suffix)
{
    // A number of our own: two files made at once must not share memory.
    static std::atomic<int> serial(0);
    const QByteArray name = "/vsimem/globe-raster-" + QByteArray::number(++serial) + suffix;
    // Closed at once: the file is complete in memory only then.
    const bool made =
        GdalDataset(GDALCreateCopy(GDALGetDriverByName(driver), name.constData(), dataset, FALSE,
                                   const_cast<char **>(options), gdalProgress,
                                   const_cast<ProgressPart *>(&progress))) != nullptr;
    bool placed = true;
    // A writer's file that the program never reads (a KMZ) places itself.
    if (made && GDALGetSpatialRef(dataset) &&
        allowedRasterDrivers().contains(QLatin1String(driver))) {
        GdalDataset written;
        placed =
            openRaster(QString::fromLatin1(name), written).ok() && GDALGetSpatialRef(written.get());
    }
    vsi_l_offset length = 0;
    GByte *data = made ? VSIGetMemFileBuffer(name.constData(), &length, FALSE) : nullptr;
    if (!placed && data && sideFile) {
        *sideFile = auxiliarySrsFile(GDALGetSpatialRef(dataset));
        placed = !sideFile->isEmpty();
    }
    if (data && placed)
        *bytes = QByteArray(reinterpret_cast<const char *>(data), int(length));
    VSIUnlink(name.constData());
    if (!placed)
        return Status::refused(path, QStringLiteral("GDAL's %1 writer cannot hold this "
                                                    "projection's coordinate system: write a PNG")
                                         .arg(QLatin1String(driver)));
    if (!data)
        return Status::refused(
            path,
            QStringLiteral("GDAL could not write the map (%1)").arg(GdalSession::lastError()));
    return Status();
}
