#include "relief/reliefraster.h"

#include "world/filenames.h"

#include <cpl_string.h>
#include <gdal_alg.h>
#include <gdal_utils.h>
#include <gdalwarper.h>
#include <ogr_srs_api.h>
#include <proj.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const double noValue = std::numeric_limits<double>::quiet_NaN();

// How far, in steps, an edge may be from where it should be: rounding in
// the file's geotransform, nothing more.
const double edgeTolerance = 1e-3;

// Far beyond the Earth in any projection's metres or feet, yet well inside
// what PROJ handles quickly: corners near 1e180 kept it busy for minutes.
const double maxProjectedCoordinate = 1e10;

// A row or column from 0 to limit, clamped while still a double: a huge
// pixel size puts an edge far beyond any int.
int clampedEdge(double value, int limit)
{
    return value > 0 ? int(std::min<double>(value, limit)) : 0;
}

// No map of the Earth has pixels below a nanometre (or a billionth of a
// degree); GDAL's search for a warped raster's extent spun for ever on
// pixels near 1e-306 wide.
const double minPixelSide = 1e-9;

bool hasPixelArea(const double t[6])
{
    const double across = std::hypot(t[1], t[4]), down = std::hypot(t[2], t[5]);
    const double area = std::fabs(t[1] * t[5] - t[2] * t[4]);
    return across >= minPixelSide && down >= minPixelSide && area >= 1e-9 * across * down;
}

bool near(double value, double wanted, double step)
{
    return std::fabs(value - wanted) <= edgeTolerance * std::fabs(step);
}

// A value within rounding of a whole number is that number, so that a
// window GDAL is asked for lies on whole pixels where it should.
double snapped(double value)
{
    const double whole = std::round(value);
    return std::fabs(value - whole) < 1e-7 ? whole : value;
}

// Longitude and latitude in degrees from Greenwich: any datum (their
// differences are metres, far below a sample here).
bool isLonLat(OGRSpatialReferenceH srs)
{
    if (!srs)
        return true;
    if (!OSRIsGeographic(srs))
        return false;
    const double radiansPerUnit = OSRGetAngularUnits(srs, nullptr);
    return std::fabs(radiansPerUnit - 3.14159265358979323846 / 180) < 1e-9 &&
           OSRGetPrimeMeridian(srs, nullptr) == 0;
}

enum class CrsKind { Geographic, Geocentric, Projected, Other };

CrsKind kindOf(PJ_TYPE type)
{
    switch (type) {
    case PJ_TYPE_GEOGRAPHIC_2D_CRS:
    case PJ_TYPE_GEOGRAPHIC_3D_CRS:
        return CrsKind::Geographic;
    case PJ_TYPE_GEOCENTRIC_CRS:
        return CrsKind::Geocentric;
    case PJ_TYPE_PROJECTED_CRS:
        return CrsKind::Projected;
    default:
        return CrsKind::Other;
    }
}

CrsKind kindOf(OGRSpatialReferenceH srs)
{
    if (OSRIsCompound(srs))
        return CrsKind::Other;
    return OSRIsProjected(srs)    ? CrsKind::Projected
           : OSRIsGeocentric(srs) ? CrsKind::Geocentric
           : OSRIsGeographic(srs) ? CrsKind::Geographic
                                  : CrsKind::Other;
}

// The code a coordinate system gives itself, as AUTHORITY:CODE, when the
// database has that code for a system of another kind; empty otherwise.
// PROJ 9.1 dereferences a null pointer when asked the way from a geographic
// system whose code is a geocentric one's, and a file may say anything.
QString codeOfAnotherKind(OGRSpatialReferenceH srs)
{
    const char *authority = OSRGetAuthorityName(srs, nullptr);
    const char *code = OSRGetAuthorityCode(srs, nullptr);
    const CrsKind kind = kindOf(srs);
    if (!authority || !code || kind == CrsKind::Other)
        return QString();
    PJ *named = proj_create_from_database(nullptr, authority, code, PJ_CATEGORY_CRS, 0, nullptr);
    if (!named)
        return QString();
    const CrsKind namedKind = kindOf(proj_get_type(named));
    proj_destroy(named);
    if (namedKind == CrsKind::Other || namedKind == kind)
        return QString();
    return shownName(
        QStringLiteral("%1:%2").arg(QString::fromUtf8(authority), QString::fromUtf8(code)));
}

// The file names its coordinate system, and may put a newline in the name.
QString nameOf(OGRSpatialReferenceH srs)
{
    const char *name = srs ? OSRGetName(srs) : nullptr;
    return name ? shownName(QString::fromUtf8(name)) : QStringLiteral("its coordinate system");
}

// [begin, end) of frame cells split so that a cell only partly over the
// raster (from - to in the raster's pixels) is a part of its own.
std::vector<std::pair<int, int>> partsOf(int begin, int end, double first, double last, int pixels)
{
    std::vector<std::pair<int, int>> parts;
    if (end - begin <= 2) {
        for (int c = begin; c < end; ++c)
            parts.push_back({c, c + 1});
        return parts;
    }
    const bool partFirst = first<0, partLast = last> pixels;
    const int middleBegin = begin + (partFirst ? 1 : 0), middleEnd = end - (partLast ? 1 : 0);
    if (partFirst)
        parts.push_back({begin, begin + 1});
    parts.push_back({middleBegin, middleEnd});
    if (partLast)
        parts.push_back({end - 1, end});
    return parts;
}

// GDAL's options of a transformer into longitude and latitude.
char **toLonLat()
{
    static const char *const options[] = {"DST_SRS=EPSG:4326", nullptr};
    return const_cast<char **>(options);
}

struct WarpOptionsDestroy
{
    void operator()(GDALWarpOptions *options) const { GDALDestroyWarpOptions(options); }
};

} // namespace

struct ReliefRaster::Warp
{
    GDALDatasetH source = nullptr; // what is warped: the raster, or one of the two below
    GdalDataset overview;          // the raster opened at an overview
    GdalDataset reduced;      // GDAL's averaged read of it at about twice the grid's resolution
    GdalTransformer coverage; // grid pixel to raster pixel
    GdalDataset vrt;
};

ReliefRaster::ReliefRaster() = default;

ReliefRaster::~ReliefRaster() = default;

Status ReliefRaster::refuse(const QString &reason) const
{
    return Status::refused(path, reason);
}

Status ReliefRaster::open(const QString &file)
{
    path = file;
    Status status = openRaster(file, dataset, QStringList(), &picked);
    if (status.ok()) {
        rasterWidth = GDALGetRasterXSize(dataset.get());
        rasterHeight = GDALGetRasterYSize(dataset.get());
        status = chooseBands();
    }
    if (status.ok())
        status = checkBlocks();
    if (!status.ok())
        return status;
    hasTransform = GDALGetGeoTransform(dataset.get(), transform) == CE_None;
    if (hasTransform)
        return placeGeoreferenced();
    if (rasterWidth < 2 || rasterWidth != 2 * rasterHeight)
        return refuse(QStringLiteral("is %1 x %2 pixels, but a map must be twice as wide as "
                                     "it is high (or georeferenced)")
                          .arg(rasterWidth)
                          .arg(rasterHeight));
    const double map[6] = {-180, 360.0 / rasterWidth, 0, 90, 0, -180.0 / rasterHeight};
    std::copy(map, map + 6, transform);
    lonLat = true;
    return Status();
}

Status ReliefRaster::placeGeoreferenced()
{
    const double *t = transform;
    // A NaN or an infinity would pass every bound below and then become a
    // row or column number.
    if (!std::all_of(t, t + 6, [](double v) { return std::isfinite(v); }))
        return refuse(QStringLiteral("has a geotransform that is not a finite number"));
    if (!hasPixelArea(t))
        return refuse(QStringLiteral("has pixels of %1 by %2 units, too small or too flat for "
                                     "any map of the Earth")
                          .arg(std::hypot(t[1], t[4]), 0, 'g', 3)
                          .arg(std::hypot(t[2], t[5]), 0, 'g', 3));
    OGRSpatialReferenceH srs = GDALGetSpatialRef(dataset.get());
    if (const QString code = srs ? codeOfAnotherKind(srs) : QString(); !code.isEmpty())
        return refuse(QStringLiteral("is in %1, but its code %2 names a coordinate system of "
                                     "another kind")
                          .arg(nameOf(srs), code));
    const bool northUp = t[2] == 0 && t[4] == 0 && t[1] > 0 && t[5] < 0;
    lonLat = isLonLat(srs) && northUp;
    if (!srs && !northUp)
        return refuse(QStringLiteral("has no coordinate system, and its geotransform turns or "
                                     "flips it"));
    if (!lonLat)
        return withinAnyMap();
    const double west = t[0], north = t[3], east = west + rasterWidth * t[1],
                 south = north + rasterHeight * t[5];
    if (north > 90 - t[5] * (1 + edgeTolerance) || south < -90 + t[5] * (1 + edgeTolerance) ||
        std::fabs(west) > 540 || !std::isfinite(east) || !std::isfinite(south)) {
        return refuse(QStringLiteral("covers x %1 to %2 and y %3 to %4, which are not longitudes "
                                     "and latitudes%5")
                          .arg(QString::number(west, 'g', 12), QString::number(east, 'g', 12),
                               QString::number(south, 'g', 12), QString::number(north, 'g', 12))
                          .arg(srs ? QString() : QStringLiteral(" (it has no coordinate system)")));
    }
    return Status();
}

Status ReliefRaster::withinAnyMap() const
{
    const double *t = transform;
    for (const double column : {0.0, double(rasterWidth)}) {
        for (const double row : {0.0, double(rasterHeight)}) {
            const double x = t[0] + column * t[1] + row * t[2];
            const double y = t[3] + column * t[4] + row * t[5];
            if (!(std::fabs(x) <= maxProjectedCoordinate && std::fabs(y) <= maxProjectedCoordinate))
                return refuse(QStringLiteral("has a corner at x %1, y %2, beyond any map of the "
                                             "Earth in its coordinate system")
                                  .arg(x, 0, 'g', 6)
                                  .arg(y, 0, 'g', 6));
        }
    }
    return Status();
}

Status ReliefRaster::chooseBands()
{
    const int count = GDALGetRasterCount(dataset.get());
    std::vector<GDALRasterBandH> colour;
    for (int b = 1; b <= count; ++b) {
        GDALRasterBandH band = GDALGetRasterBand(dataset.get(), b);
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
            QStringLiteral("has %1 bands, but a heightmap needs one grey band").arg(colour.size()));
    const GDALDataType type = GDALGetRasterDataType(bands[0]);
    if (GDALDataTypeIsComplex(type))
        return refuse(QStringLiteral("has complex samples, but a heightmap needs real ones"));
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
                return refuse(QStringLiteral("has a colour palette, but a heightmap must be grey"));
            palette.push_back(entry->c1);
        }
        unsignedType = true;
        typeMaximum = 255;
    }
    return Status();
}

// GDAL decodes a block whole: one that cannot fit the import's memory is
// refused before anything is read.
Status ReliefRaster::checkBlocks()
{
    const char *interleave = GDALGetMetadataItem(dataset.get(), "INTERLEAVE", "IMAGE_STRUCTURE");
    const qint64 together = interleave && QByteArray(interleave) == "PIXEL"
                                ? std::max(1, GDALGetRasterCount(dataset.get()))
                                : 1;
    for (GDALRasterBandH band : bands) {
        int bx = 0, by = 0;
        GDALGetBlockSize(band, &bx, &by);
        const qint64 bytes =
            qint64(bx) * by * GDALGetDataTypeSizeBytes(GDALGetRasterDataType(band)) * together;
        if (bytes > maxBlockBytes)
            return refuse(QStringLiteral("stores its samples in blocks of %1 x %2 (%3 MiB "
                                         "decoded), more than the %4 MiB an import decodes at "
                                         "once; tile it first (gdal_translate -co TILED=YES)")
                              .arg(bx)
                              .arg(by)
                              .arg(bytes >> 20)
                              .arg(maxBlockBytes >> 20));
    }
    return Status();
}

int ReliefRaster::gridWidthFor(double nativeWidth, int wantedWidth, int limit) const
{
    wantedWidth = std::max(2, wantedWidth & ~1);
    if (nativeWidth <= std::max(wantedWidth, limit) + 0.5)
        return std::max(2, 2 * int(std::lround(nativeWidth / 2)));
    return wantedWidth;
}

Status ReliefRaster::prepare(int wantedWidth)
{
    if (lonLat)
        prepareLonLat(wantedWidth);
    else if (const Status warped = prepareWarp(wantedWidth); !warped.ok())
        return warped;
    if (rowEnd <= rowBegin || columnEnd <= columnBegin)
        return refuse(QStringLiteral("covers no part of the globe"));
    for (size_t b = 0; b < bands.size(); ++b)
        strip[b].clear();
    return Status();
}

void ReliefRaster::prepareLonLat(int wantedWidth)
{
    const double *t = transform;
    const double dx = t[1], dy = -t[5];
    const int w = rasterWidth, h = rasterHeight;
    const double west = t[0], north = t[3], east = west + w * dx, south = north - h * dy;
    // A global grid of samples on whole steps from pole to pole.
    const bool registered = h >= 2 && w - 1 == 2 * (h - 1) && near((w - 1) * dx, 360, dx) &&
                            near((h - 1) * dy, 180, dy) && near(north - dy / 2, 90, dy);
    const int width = gridWidthFor(registered ? w - 1 : 360 / dx, wantedWidth, nativeColumnLimit);
    const bool keepRegistered = registered && width == w - 1;
    samples = SampleGrid{width, width / 2, keepRegistered};
    stepX = 360.0 / width;
    stepY = 180.0 / (width / 2);
    frameNorth = 90 + (keepRegistered ? stepY / 2 : 0);
    const double gridWest = -180 - (keepRegistered ? stepX / 2 : 0);
    // The frame starts on a grid column at the raster's west edge: inside
    // it for a raster that goes once around, so no column is cut at both
    // ends.
    const bool aroundOnce = east - west >= 360 - edgeTolerance * dx;
    const double columns = (west - gridWest) / stepX;
    const double k = aroundOnce ? std::ceil(columns - 1e-6) : std::floor(columns + 1e-6);
    frameWest = gridWest + k * stepX;
    shift = int(((qint64(k) % width) + width) % width);
    columnBegin = 0;
    columnEnd = clampedEdge(std::ceil((east - frameWest) / stepX - 1e-6), width);
    rowBegin = clampedEdge(std::floor((frameNorth - north) / stepY + 1e-6), samples.rows());
    rowEnd = clampedEdge(std::ceil((frameNorth - south) / stepY - 1e-6), samples.rows());
}

Status ReliefRaster::prepareWarp(int wantedWidth)
{
    Extent extent;
    if (const Status found = suggestExtent(extent); !found.ok())
        return found;
    chooseWarpFrame(extent, wantedWidth);
    if (rowEnd <= rowBegin || columnEnd <= columnBegin)
        return Status();
    warp.reset(new Warp);
    warp->source = dataset.get();
    const double ratio = extent.nativeWidth / samples.width;
    Status status = openOverview(ratio);
    if (status.ok())
        status = reduceSource(ratio);
    if (status.ok())
        status = buildWarpedVrt();
    return status;
}

Status ReliefRaster::suggestExtent(Extent &extent) const
{
    GdalTransformer suggest(GDALCreateGenImgProjTransformer2(dataset.get(), nullptr, toLonLat()));
    if (!suggest)
        return refuse(QStringLiteral("is in %1, which GDAL cannot turn into longitudes and "
                                     "latitudes (%2)")
                          .arg(nameOf(GDALGetSpatialRef(dataset.get())), GdalSession::lastError()));
    double suggested[6], box[4];
    int pixels = 0, lines = 0;
    const CPLErr found = GDALSuggestedWarpOutput2(
        dataset.get(), GDALGenImgProjTransform, suggest.get(), suggested, &pixels, &lines, box, 0);
    suggest.reset();
    if (found != CE_None || !(suggested[1] > 0))
        return refuse(QStringLiteral("is in %1, but GDAL finds no place for it on the globe (%2)")
                          .arg(nameOf(GDALGetSpatialRef(dataset.get())), GdalSession::lastError()));
    extent = Extent{360 / suggested[1], box[0], box[1], box[2], box[3]};
    return Status();
}

void ReliefRaster::chooseWarpFrame(const Extent &extent, int wantedWidth)
{
    // Warped, no sample stays as it was: the world's resolution is enough.
    const int width = gridWidthFor(extent.nativeWidth, wantedWidth, 0);
    samples = SampleGrid{width, width / 2, false};
    stepX = 360.0 / width;
    stepY = 180.0 / (width / 2);
    frameWest = -180;
    frameNorth = 90;
    shift = 0;
    double minX = extent.minX, minY = extent.minY, maxX = extent.maxX, maxY = extent.maxY;
    // Across the antimeridian, or around a pole: every longitude, and the
    // pole's rows, which GDAL's edge sampling can miss.
    if (maxX - minX > 359 || minX < -180 || maxX > 180) {
        minX = -180;
        maxX = 180;
        if (minY < -45)
            minY = -90;
        if (maxY > 45)
            maxY = 90;
    }
    // GDAL's extent can be NaN or far off the globe: clamped as doubles.
    columnBegin = clampedEdge(std::floor((minX + 180) / stepX) - 1, width);
    columnEnd = clampedEdge(std::ceil((maxX + 180) / stepX) + 1, width);
    rowBegin = clampedEdge(std::floor((90 - maxY) / stepY) - 1, samples.rows());
    rowEnd = clampedEdge(std::ceil((90 - minY) / stepY) + 1, samples.rows());
}

// The overview nearest the grid without being coarser, as gdalwarp's -ovr
// AUTO picks it; ratio is the raster's resolution over the grid's.
Status ReliefRaster::openOverview(double ratio)
{
    const int overviews = GDALGetOverviewCount(bands[0]);
    int level = -1;
    for (int i = 0; i < overviews && ratio > 1; ++i) {
        GDALRasterBandH overview = GDALGetOverview(bands[0], i);
        if (overview && GDALGetRasterBandXSize(overview) * ratio >= rasterWidth * 0.999)
            level = i;
    }
    if (level < 0)
        return Status();
    const Status opened = openRaster(picked.isEmpty() ? path : picked, warp->overview,
                                     {QStringLiteral("OVERVIEW_LEVEL=%1").arg(level)});
    if (opened.ok())
        warp->source = warp->overview.get();
    return opened;
}

// Far finer than the grid still: the warper would gather huge source
// windows for each chunk (around a pole, the whole cap). GDAL's own averaged
// read (gdal_translate -r average -outsize, as a virtual dataset read block
// by block) brings it to about twice the grid's resolution first.
Status ReliefRaster::reduceSource(double ratio)
{
    const int sourceWidth = GDALGetRasterXSize(warp->source),
              sourceHeight = GDALGetRasterYSize(warp->source);
    const double left = ratio * sourceWidth / rasterWidth;
    if (!(left > 4))
        return Status();
    const QByteArray width =
                         QByteArray::number(std::max(1, int(std::ceil(sourceWidth * 2 / left)))),
                     height =
                         QByteArray::number(std::max(1, int(std::ceil(sourceHeight * 2 / left))));
    const char *arguments[] = {"-of",
                               "VRT",
                               "-r",
                               palette.empty() ? "average" : "nearest",
                               "-outsize",
                               width.constData(),
                               height.constData(),
                               nullptr};
    GDALTranslateOptions *translate =
        GDALTranslateOptionsNew(const_cast<char **>(arguments), nullptr);
    warp->reduced.reset(GDALTranslate("", warp->source, translate, nullptr));
    GDALTranslateOptionsFree(translate);
    if (!warp->reduced)
        return refuse(QStringLiteral("cannot be read at a lower resolution (%1)")
                          .arg(GdalSession::lastError()));
    warp->source = warp->reduced.get();
    return Status();
}

void ReliefRaster::fillWarpOptions(GDALWarpOptions &options) const
{
    options.hSrcDS = warp->source;
    options.nBandCount = int(bands.size());
    options.panSrcBands = static_cast<int *>(CPLMalloc(sizeof(int) * bands.size()));
    options.panDstBands = static_cast<int *>(CPLMalloc(sizeof(int) * bands.size()));
    options.padfDstNoDataReal = static_cast<double *>(CPLMalloc(sizeof(double) * bands.size()));
    if (hasNoData)
        options.padfSrcNoDataReal = static_cast<double *>(CPLMalloc(sizeof(double) * bands.size()));
    for (size_t b = 0; b < bands.size(); ++b) {
        options.panSrcBands[b] = GDALGetBandNumber(bands[b]);
        options.panDstBands[b] = int(b) + 1;
        options.padfDstNoDataReal[b] = noValue;
        if (hasNoData)
            options.padfSrcNoDataReal[b] = noData;
    }
    options.eResampleAlg = palette.empty() ? GRA_Average : GRA_NearestNeighbour;
    options.eWorkingDataType = GDT_Float64;
    options.dfWarpMemoryLimit = 64.0 * (1 << 20);
    options.papszWarpOptions = CSLSetNameValue(nullptr, "INIT_DEST", "NO_DATA");
    options.pfnTransformer = GDALApproxTransform;
}

Status ReliefRaster::buildWarpedVrt()
{
    const double window[6] = {frameWest + columnBegin * stepX, stepX, 0,
                              frameNorth - rowBegin * stepY,   0,     -stepY};
    const double frame[6] = {frameWest, stepX, 0, frameNorth, 0, -stepY};
    GdalTransformer transformer(
        GDALCreateGenImgProjTransformer2(warp->source, nullptr, toLonLat()));
    warp->coverage.reset(GDALCreateGenImgProjTransformer2(dataset.get(), nullptr, toLonLat()));
    if (!transformer || !warp->coverage)
        return refuse(QStringLiteral("cannot be warped (%1)").arg(GdalSession::lastError()));
    GDALSetGenImgProjTransformerDstGeoTransform(transformer.get(), window);
    GDALSetGenImgProjTransformerDstGeoTransform(warp->coverage.get(), frame);
    GdalTransformer approximate(
        GDALCreateApproxTransformer(GDALGenImgProjTransform, transformer.release(), 0.125));
    GDALApproxTransformerOwnsSubtransformer(approximate.get(), TRUE);
    const std::unique_ptr<GDALWarpOptions, WarpOptionsDestroy> options(GDALCreateWarpOptions());
    fillWarpOptions(*options);
    options->pTransformerArg = approximate.get();
    warp->vrt.reset(GDALCreateWarpedVRT(warp->source, columnEnd - columnBegin, rowEnd - rowBegin,
                                        const_cast<double *>(window), options.get()));
    if (!warp->vrt)
        return refuse(QStringLiteral("cannot be warped (%1)").arg(GdalSession::lastError()));
    approximate.release(); // the warped VRT's now
    for (size_t b = 0; b < bands.size(); ++b)
        GDALSetRasterNoDataValue(GDALGetRasterBand(warp->vrt.get(), int(b) + 1), noValue);
    return Status();
}

bool ReliefRaster::typeRange(double *lowest, double *highest) const
{
    *lowest = 0;
    *highest = typeMaximum;
    return unsignedType;
}

Status ReliefRaster::readRows(int y, int count, double *values, unsigned char *states)
{
    const size_t cells = size_t(samples.width) * size_t(count);
    for (size_t b = 0; b < bands.size(); ++b)
        strip[b].assign(cells, noValue);
    covered.assign(cells, 0);
    const Status read = warp ? readWarped(y, count) : readLonLat(y, count);
    return read.ok() ? finishRows(count, values, states) : read;
}

Status ReliefRaster::readLonLat(int y, int count)
{
    const int ya = std::max(y, rowBegin), yb = std::min(y + count, rowEnd);
    if (ya >= yb)
        return Status();
    const double *t = transform;
    const int w = rasterWidth, h = rasterHeight, width = samples.width;
    // Frame edges in the raster's pixels.
    auto column = [&](int c) { return snapped((frameWest + c * stepX - t[0]) / t[1]); };
    auto row = [&](int r) { return snapped((t[3] - (frameNorth - r * stepY)) / -t[5]); };
    for (const auto &rows : partsOf(ya, yb, row(ya), row(yb), h)) {
        for (const auto &columns :
             partsOf(columnBegin, columnEnd, column(columnBegin), column(columnEnd), w)) {
            const double u0 = std::clamp(column(columns.first), 0.0, double(w)),
                         u1 = std::clamp(column(columns.second), 0.0, double(w)),
                         v0 = std::clamp(row(rows.first), 0.0, double(h)),
                         v1 = std::clamp(row(rows.second), 0.0, double(h));
            if (!(u1 - u0 > 1e-9 && v1 - v0 > 1e-9))
                continue;
            GDALRasterIOExtraArg extra;
            INIT_RASTERIO_EXTRA_ARG(extra);
            extra.eResampleAlg = palette.empty() ? GRIORA_Average : GRIORA_NearestNeighbour;
            extra.bFloatingPointWindowValidity = TRUE;
            extra.dfXOff = u0;
            extra.dfYOff = v0;
            extra.dfXSize = u1 - u0;
            extra.dfYSize = v1 - v0;
            const int x0 = int(std::floor(u0)), y0 = int(std::floor(v0));
            const int x1 = std::min(w, int(std::ceil(u1))), y1 = std::min(h, int(std::ceil(v1)));
            const int bufferWidth = columns.second - columns.first,
                      bufferHeight = rows.second - rows.first;
            const size_t at = size_t(rows.first - y) * width + size_t(columns.first);
            for (size_t b = 0; b < bands.size(); ++b) {
                if (GDALRasterIOEx(bands[b], GF_Read, x0, y0, x1 - x0, y1 - y0,
                                   strip[b].data() + at, bufferWidth, bufferHeight, GDT_Float64,
                                   sizeof(double), GSpacing(sizeof(double)) * width,
                                   &extra) != CE_None)
                    return refuse(
                        QStringLiteral("cannot be read (%1)").arg(GdalSession::lastError()));
            }
            for (int r = 0; r < bufferHeight; ++r)
                std::fill_n(covered.begin() + long(at) + long(r) * width, bufferWidth, 1);
        }
    }
    return Status();
}

Status ReliefRaster::readWarped(int y, int count)
{
    const int ya = std::max(y, rowBegin), yb = std::min(y + count, rowEnd);
    if (ya >= yb || !warp)
        return Status();
    const int width = samples.width, columns = columnEnd - columnBegin;
    for (size_t b = 0; b < bands.size(); ++b) {
        if (GDALRasterIO(
                GDALGetRasterBand(warp->vrt.get(), int(b) + 1), GF_Read, 0, ya - rowBegin, columns,
                yb - ya, strip[b].data() + size_t(ya - y) * width + size_t(columnBegin), columns,
                yb - ya, GDT_Float64, sizeof(double), int(sizeof(double)) * width) != CE_None)
            return refuse(QStringLiteral("cannot be warped (%1)").arg(GdalSession::lastError()));
    }
    // Which samples' centres fall on the raster: the others are outside it.
    const size_t n = size_t(columns);
    std::vector<double> xs(n), ys(n), zs(n);
    std::vector<int> ok(n);
    for (int r = ya; r < yb; ++r) {
        for (int c = 0; c < columns; ++c) {
            xs[size_t(c)] = columnBegin + c + 0.5;
            ys[size_t(c)] = r + 0.5;
            zs[size_t(c)] = 0;
        }
        GDALGenImgProjTransform(warp->coverage.get(), TRUE, columns, xs.data(), ys.data(),
                                zs.data(), ok.data());
        unsigned char *inside = covered.data() + size_t(r - y) * width + size_t(columnBegin);
        for (int c = 0; c < columns; ++c) {
            inside[c] = ok[size_t(c)] && xs[size_t(c)] >= 0 && xs[size_t(c)] < rasterWidth &&
                        ys[size_t(c)] >= 0 && ys[size_t(c)] < rasterHeight;
        }
    }
    return Status();
}

Status ReliefRaster::finishRows(int count, double *values, unsigned char *states)
{
    const int width = samples.width;
    for (int r = 0; r < count; ++r) {
        const size_t row = size_t(r) * width;
        for (int c = 0; c < width; ++c) {
            const size_t from = row + size_t(c);
            const size_t to = row + size_t((c + shift) % width);
            double value = strip[0][from];
            if (!covered[from]) {
                values[to] = 0;
                states[to] = Outside;
                continue;
            }
            if (bands.size() == 3 && (std::isfinite(value) || std::isfinite(strip[1][from])) &&
                (strip[1][from] != value || strip[2][from] != value))
                return refuse(QStringLiteral("has coloured pixels, but a heightmap must be grey"));
            // An infinite height is no height.
            const bool holdsData = !(hasNoData && value == noData) && std::isfinite(value);
            if (!palette.empty() && holdsData)
                value = value >= 0 && value < palette.size() ? palette[size_t(value)] : 0;
            values[to] = holdsData ? value : 0;
            states[to] = holdsData ? Data : NoData;
        }
    }
    return Status();
}
