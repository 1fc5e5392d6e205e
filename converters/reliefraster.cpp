#include "converters/reliefraster.h"

#include "world/filenames.h"

#include <QFile>
#include <QFileInfo>

#include <gdal.h>
#include <ogr_srs_api.h>

#include <cmath>

namespace {

// How far, in steps, an edge may be from where it should be: rounding in
// the file's geotransform, nothing more.
const double edgeTolerance = 1e-3;

bool near(double value, double wanted, double step)
{
    return std::fabs(value - wanted) <= edgeTolerance * std::fabs(step);
}

bool isEpsg4326(OGRSpatialReferenceH srs)
{
    OGRSpatialReferenceH wgs84 = OSRNewSpatialReference(nullptr);
    const char *options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES",
                             "CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS", nullptr};
    const bool same =
        OSRImportFromEPSG(wgs84, 4326) == OGRERR_NONE && OSRIsSameEx(srs, wgs84, options);
    OSRDestroySpatialReference(wgs84);
    if (same)
        return true;
    const char *code = OSRGetAuthorityCode(srs, nullptr);
    return code && QByteArray(code) == "4326";
}

} // namespace

ReliefRaster::~ReliefRaster()
{
    if (dataset)
        GDALClose(dataset);
}

bool ReliefRaster::refuse(const QString &reason, QString *error) const
{
    if (error)
        *error = QStringLiteral("%1: %2").arg(shownName(path), reason);
    return false;
}

bool ReliefRaster::open(const QString &file, QString *error)
{
    path = file;
    if (!file.startsWith(QLatin1String("/vsi")) && !QFileInfo(file).isFile())
        return refuse(QStringLiteral("no such file"), error);
    dataset = GDALOpenEx(QFile::encodeName(file).constData(), GDAL_OF_RASTER | GDAL_OF_READONLY,
                         nullptr, nullptr, nullptr);
    if (!dataset) {
        const QString why = GdalSession::lastError();
        return refuse(QStringLiteral("not a readable raster (%1)")
                          .arg(why.isEmpty() ? QStringLiteral("no format GDAL knows") : why),
                      error);
    }
    rasterWidth = GDALGetRasterXSize(dataset);
    rasterHeight = GDALGetRasterYSize(dataset);
    if (rasterWidth > maxColumns || qint64(rasterWidth) * rasterHeight > maxSamples)
        return refuse(QStringLiteral("claims %1 x %2 samples, more than the %3 columns and %4 "
                                     "samples an import reads")
                          .arg(rasterWidth)
                          .arg(rasterHeight)
                          .arg(maxColumns)
                          .arg(maxSamples),
                      error);
    return chooseBands(error) && place(error);
}

bool ReliefRaster::chooseBands(QString *error)
{
    const int count = GDALGetRasterCount(dataset);
    std::vector<void *> colour;
    for (int b = 1; b <= count; ++b) {
        GDALRasterBandH band = GDALGetRasterBand(dataset, b);
        if (GDALGetRasterColorInterpretation(band) != GCI_AlphaBand)
            colour.push_back(band);
    }
    if (colour.size() == 3) {
        const GDALColorInterp red = GDALGetRasterColorInterpretation(colour[0]);
        if (red == GCI_RedBand || red == GCI_Undefined)
            bands = colour;
    } else if (colour.size() == 1) {
        bands = colour;
    }
    if (bands.empty())
        return refuse(
            QStringLiteral("has %1 bands, but a heightmap needs one grey band").arg(colour.size()),
            error);
    const GDALDataType type = GDALGetRasterDataType(bands[0]);
    if (GDALDataTypeIsComplex(type))
        return refuse(QStringLiteral("has complex samples, but a heightmap needs real ones"),
                      error);
    unsignedType = type == GDT_Byte || type == GDT_UInt16;
    typeMaximum = type == GDT_Byte ? 255 : 65535;
    int has = 0;
    noData = GDALGetRasterNoDataValue(bands[0], &has);
    hasNoData = has != 0;
    GDALColorTableH table = GDALGetRasterColorTable(bands[0]);
    if (bands.size() == 1 && table &&
        GDALGetRasterColorInterpretation(bands[0]) == GCI_PaletteIndex) {
        for (int i = 0; i < GDALGetColorEntryCount(table); ++i) {
            const GDALColorEntry *entry = GDALGetColorEntry(table, i);
            if (entry->c1 != entry->c2 || entry->c2 != entry->c3)
                return refuse(QStringLiteral("has a colour palette, but a heightmap must be grey"),
                              error);
            palette.push_back(entry->c1);
        }
        unsignedType = true;
        typeMaximum = 255;
    }
    return true;
}

bool ReliefRaster::place(QString *error)
{
    double transform[6];
    if (GDALGetGeoTransform(dataset, transform) == CE_None)
        return placeGeoreferenced(transform, error);
    if (rasterWidth < 2 || rasterWidth != 2 * rasterHeight)
        return refuse(QStringLiteral("is %1 x %2 pixels, but a map must be twice as wide as it "
                                     "is high (or a georeferenced global grid)")
                          .arg(rasterWidth)
                          .arg(rasterHeight),
                      error);
    samples = SampleGrid{rasterWidth, rasterHeight, false};
    return true;
}

bool ReliefRaster::placeGeoreferenced(const double *t, QString *error)
{
    OGRSpatialReferenceH srs = GDALGetSpatialRef(dataset);
    if (srs && !isEpsg4326(srs)) {
        const char *name = OSRGetName(srs);
        return refuse(QStringLiteral("is in %1, but a heightmap must be a longitude/latitude "
                                     "grid in EPSG:4326")
                          .arg(QString::fromUtf8(name ? name : "another coordinate system")),
                      error);
    }
    if (t[2] != 0 || t[4] != 0 || !(t[1] > 0) || !(t[5] < 0))
        return refuse(QStringLiteral("is not a north-up longitude/latitude grid (its "
                                     "geotransform turns or flips it)"),
                      error);
    const double dx = t[1], dy = -t[5];
    const int w = rasterWidth, h = rasterHeight;
    // Pixels that are areas span the globe edge to edge; a registered grid's
    // samples sit on its edges, one more each way.
    const bool areas =
        w == 2 * h && near(w * dx, 360, dx) && near(h * dy, 180, dy) && near(t[3], 90, dy);
    const bool registered = h >= 2 && w - 1 == 2 * (h - 1) && near((w - 1) * dx, 360, dx) &&
                            near((h - 1) * dy, 180, dy) && near(t[3] - dy / 2, 90, dy);
    const double west = (t[0] + (registered ? dx / 2 : 0) + 180) / dx;
    // A west edge further than a turn away is no map of this globe, and its
    // step count need not fit an integer.
    const bool withinTurn = std::fabs(t[0]) <= 360;
    if ((!areas && !registered) || !withinTurn || !near(west, std::round(west), 1)) {
        return refuse(QStringLiteral("covers longitudes %1 to %2 and latitudes %3 to %4 in %5 x "
                                     "%6 samples, but a heightmap must cover the globe: W x W/2 "
                                     "pixels from -180 and 90 degrees, or a grid of W+1 x W/2+1 "
                                     "samples from pole to pole")
                          .arg(t[0])
                          .arg(t[0] + w * dx)
                          .arg(t[3] - h * dy)
                          .arg(t[3])
                          .arg(w)
                          .arg(h),
                      error);
    }
    samples = registered ? SampleGrid{w - 1, h - 1, true} : SampleGrid{w, h, false};
    columnShift = int(((qint64(std::round(west)) % samples.width) + samples.width) % samples.width);
    return true;
}

bool ReliefRaster::typeRange(double *lowest, double *highest) const
{
    *lowest = 0;
    *highest = typeMaximum;
    return unsignedType;
}

bool ReliefRaster::readRow(int y, double *values, bool *valid, QString *error)
{
    for (size_t b = 0; b < bands.size(); ++b) {
        raw[b].resize(size_t(rasterWidth));
        if (GDALRasterIO(bands[b], GF_Read, 0, y, rasterWidth, 1, raw[b].data(), rasterWidth, 1,
                         GDT_Float64, 0, 0) != CE_None)
            return refuse(QStringLiteral("cannot be read (%1)").arg(GdalSession::lastError()),
                          error);
    }
    const int w = samples.width; // a registered grid's last column repeats its first
    for (int x = 0; x < w; ++x) {
        double value = raw[0][size_t(x)];
        if (bands.size() == 3 && (raw[1][size_t(x)] != value || raw[2][size_t(x)] != value))
            return refuse(QStringLiteral("has coloured pixels, but a heightmap must be grey"),
                          error);
        // An infinite height is no height.
        const bool holdsData = !(hasNoData && value == noData) && std::isfinite(value);
        if (!palette.empty())
            value = value >= 0 && value < palette.size() ? palette[size_t(value)] : 0;
        const int column = (x + columnShift) % w;
        values[column] = value;
        valid[column] = holdsData;
    }
    return true;
}
