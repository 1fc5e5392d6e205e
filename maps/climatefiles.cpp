#include "maps/climatefiles.h"

#include "gdal/gdalsession.h"
#include "gdal/memoryraster.h"
#include "gdal/memoryvectorfile.h"
#include "maps/meshraster.h"
#include "maps/worldmap.h"
#include "meshes/drawnmesh.h"
#include "sphere/sphere.h"
#include "world/atomicwrite.h"
#include "world/filenames.h"

#include <QDir>
#include <QFileInfo>

#include <cpl_conv.h>
#include <gdal_alg.h>
#include <ogr_srs_api.h>
#include <ogrsf_frmts.h>

#include <cstdio>
#include <memory>

namespace {

// What the files hold, computed once for all of them.
struct ClimateData
{
    SphereGraph graph;
    Climate climate;
};

// The grid of the GeoTIFF and the zones: the code and the four figures of
// each pixel's vertex, and a byte copy of the code for GDAL's polygonizer.
struct ClimateGrid
{
    int width = 0, height = 0;
    std::vector<float> bands[5];
    std::vector<uchar> code;
};

ClimateGrid climateGrid(const World &world, const Climate &c, int width)
{
    ClimateGrid grid;
    grid.width = width;
    grid.height = width / 2;
    const DrawnMesh mesh = drawnMesh(world);
    const MeshRaster raster(mesh, SampleGrid{width, width / 2});
    const size_t pixels = size_t(grid.width) * grid.height;
    for (std::vector<float> &band : grid.bands)
        band.assign(pixels, 0.0f);
    grid.code.assign(pixels, 0);
    std::vector<int> owners;
    for (int y = 0; y < grid.height; ++y) {
        raster.ownersOfRow(y, owners);
        for (int x = 0; x < grid.width; ++x) {
            const int v = owners[x];
            const size_t i = size_t(y) * grid.width + x;
            if (v < 0)
                continue;
            grid.code[i] = uchar(c.koppen[v]);
            grid.bands[0][i] = float(c.koppen[v]);
            grid.bands[1][i] = c.annualMean(v);
            grid.bands[2][i] = c.annualTotal(v);
            grid.bands[3][i] = c.warmestMonth(v);
            grid.bands[4][i] = c.coldestMonth(v);
        }
    }
    return grid;
}

void placeOnEarth(GDALDatasetH dataset, int width, int height)
{
    double transform[6] = {-180, 360.0 / width, 0, 90, 0, -180.0 / height};
    GDALSetGeoTransform(dataset, transform);
    OGRSpatialReferenceH wgs84 = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(wgs84, 4326);
    GDALSetSpatialRef(dataset, wgs84);
    OSRDestroySpatialReference(wgs84);
}

const char *const bandNames[5] = {
    "koppen", "annual mean temperature (degC)", "annual precipitation (mm)",
    "warmest month mean temperature (degC)", "coldest month mean temperature (degC)"};

Status geoTiffFiles(const ClimateGrid &grid, const QString &path, QVector<FileWrite> *writes)
{
    std::vector<RasterBandView> views;
    for (const std::vector<float> &band : grid.bands)
        views.push_back({reinterpret_cast<const uchar *>(band.data()), GDT_Float32, 4,
                         4 * grid.width, GCI_Undefined});
    const GdalDataset dataset = memoryRasterOver(grid.width, grid.height, views);
    if (!dataset)
        return Status::notWritten(path, QStringLiteral("GDAL cannot make the raster in memory"));
    placeOnEarth(dataset.get(), grid.width, grid.height);
    GDALSetMetadataItem(dataset.get(), "AREA_OR_POINT", "Area", nullptr);
    std::vector<const char *> names;
    for (int k = 0; k < koppenCodeCount; ++k)
        names.push_back(koppenName(Koppen(k)));
    names.push_back(nullptr);
    for (int b = 0; b < 5; ++b)
        GDALSetDescription(GDALGetRasterBand(dataset.get(), b + 1), bandNames[b]);
    GDALSetRasterCategoryNames(GDALGetRasterBand(dataset.get(), 1),
                               const_cast<char **>(names.data()));
    const char *options[] = {"COMPRESS=DEFLATE", "INTERLEAVE=BAND", nullptr};
    QByteArray bytes, aux;
    const Status made =
        memoryRasterBytes(dataset.get(), "GTiff", options, path, &bytes, {}, nullptr, "", &aux);
    if (!made.ok())
        return made;
    if (aux.isEmpty())
        return Status::notWritten(path, QStringLiteral("GDAL wrote no category names"));
    writes->append({path, bytes});
    writes->append({path + QStringLiteral(".aux.xml"), aux});
    return Status();
}

// One MultiPolygon per class: GDAL's polygons of the code band gathered by
// their value, with no union.
Status classPolygons(const ClimateGrid &grid, const QString &path,
                     std::vector<std::unique_ptr<OGRMultiPolygon>> *polygons)
{
    const RasterBandView view{grid.code.data(), GDT_Byte, 1, grid.width, GCI_Undefined};
    const GdalDataset raster = memoryRasterOver(grid.width, grid.height, {view});
    MemoryVectorFile scratch(path);
    if (!raster)
        return Status::notWritten(path, QStringLiteral("GDAL cannot make the raster in memory"));
    placeOnEarth(raster.get(), grid.width, grid.height);
    if (const Status made = scratch.create("Memory"); !made.ok())
        return made;
    OGRLayer *layer = scratch.dataset()->CreateLayer("cells", nullptr, wkbPolygon, nullptr);
    OGRFieldDefn field("code", OFTInteger);
    if (!layer || layer->CreateField(&field) != OGRERR_NONE)
        return scratch.failure(QStringLiteral("GDAL cannot make the polygons' layer"));
    GDALRasterBandH band = GDALGetRasterBand(raster.get(), 1);
    if (GDALPolygonize(band, band, OGRLayer::ToHandle(layer), 0, nullptr, nullptr, nullptr) !=
        CE_None)
        return scratch.failure(QStringLiteral("GDAL cannot draw the zones"));
    polygons->clear();
    polygons->resize(koppenCodeCount);
    layer->ResetReading();
    for (auto &feature : *layer) {
        const int code = feature->GetFieldAsInteger(0);
        OGRGeometry *geometry = feature->GetGeometryRef();
        if (code <= 0 || code >= koppenCodeCount || !geometry)
            continue;
        auto &multi = (*polygons)[code];
        if (!multi)
            multi.reset(new OGRMultiPolygon);
        multi->addGeometry(geometry);
    }
    return Status();
}

Status zoneFile(const ClimateData &data, const ClimateGrid &grid, const QString &path,
                ClimateFormat format, QVector<FileWrite> *writes)
{
    std::vector<std::unique_ptr<OGRMultiPolygon>> polygons;
    if (const Status drawn = classPolygons(grid, path, &polygons); !drawn.ok())
        return drawn;
    std::vector<double> areas(koppenCodeCount, 0.0);
    const double km2 = earthRadiusKm * earthRadiusKm;
    for (int v = 0; v < data.climate.vertexCount; ++v)
        areas[int(data.climate.koppen[v])] += data.graph.cellArea[v] * km2;
    MemoryVectorFile file(path);
    const bool gpkg = format == ClimateFormat::GeoPackage;
    if (const Status created = file.create(gpkg ? "GPKG" : "GeoJSON"); !created.ok())
        return created;
    OGRSpatialReference wgs84;
    wgs84.SetWellKnownGeogCS("WGS84");
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRLayer *layer = file.dataset()->CreateLayer("koppen", &wgs84, wkbMultiPolygon, nullptr);
    if (!layer)
        return file.failure(QStringLiteral("GDAL cannot make the layer koppen"));
    for (const auto &[name, type] : {std::pair<const char *, OGRFieldType>{"koppen", OFTString},
                                     {"group", OFTString},
                                     {"area_km2", OFTReal}}) {
        OGRFieldDefn field(name, type);
        if (layer->CreateField(&field) != OGRERR_NONE)
            return file.failure(
                QStringLiteral("GDAL cannot make the field %1").arg(QLatin1String(name)));
    }
    const bool transaction = file.dataset()->StartTransaction() == OGRERR_NONE;
    for (int code = 1; code < koppenCodeCount; ++code) {
        if (!polygons[code] && areas[code] <= 0)
            continue;
        const Koppen k = Koppen(code);
        const char group[2] = {koppenGroup(k), 0};
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetField("koppen", koppenName(k));
        feature.SetField("group", group);
        feature.SetField("area_km2", areas[code]);
        OGRMultiPolygon empty;
        feature.SetGeometry(polygons[code] ? polygons[code].get() : &empty);
        if (layer->CreateFeature(&feature) != OGRERR_NONE)
            return file.failure(
                QStringLiteral("GDAL cannot write the zone %1").arg(QLatin1String(koppenName(k))));
    }
    if (transaction && file.dataset()->CommitTransaction() != OGRERR_NONE)
        return file.failure(QStringLiteral("GDAL cannot finish it"));
    QByteArray bytes;
    if (const Status finished = file.finish(&bytes); !finished.ok())
        return finished;
    writes->append({path, bytes});
    return Status();
}

QByteArray csvBytes(const World &world, const ClimateData &data)
{
    const Climate &c = data.climate;
    QByteArray out("lon,lat,level,height_m");
    for (const char *kind : {"T", "P"}) {
        for (int m = 1; m <= 12; ++m)
            out += QByteArray(",") + kind + (m < 10 ? "0" : "") + QByteArray::number(m);
    }
    out += ",koppen,biome\n";
    out.reserve(int(std::min<size_t>(size_t(c.vertexCount) * 160, 1u << 30)));
    char text[64];
    for (int v = 0; v < c.vertexCount; ++v) {
        const LonLat ll = lonLatOf(data.graph.units[v]);
        std::snprintf(text, sizeof text, "%.4f,%.4f,%d,%.0f", ll.lon, ll.lat, world.levels.value(v),
                      double(c.heightM[v]));
        out += text;
        for (int m = 0; m < 12; ++m) {
            std::snprintf(text, sizeof text, ",%.1f", double(c.temperatureOf(v)[m]));
            out += text;
        }
        for (int m = 0; m < 12; ++m) {
            std::snprintf(text, sizeof text, ",%.0f", double(c.precipitationOf(v)[m]));
            out += text;
        }
        out += ',';
        if (!c.sea[v])
            out += koppenName(c.koppen[v]);
        out += ',';
        out += biomeName(c.biome[v]);
        out += '\n';
    }
    return out;
}

Status checkOutputs(const QStringList &outs, QVector<ClimateFormat> *formats)
{
    for (const QString &out : outs) {
        ClimateFormat format;
        if (!climateFormatOf(out, &format))
            return Status::usage(aboutFile(
                out, QStringLiteral("the name must end in .tif (a GeoTIFF), .gpkg (a "
                                    "GeoPackage), .geojson (GeoJSON) or .csv (a table)")));
        if (const Status folder = checkOutputFolder(out); !folder.ok())
            return folder;
        formats->append(format);
    }
    return Status();
}

} // namespace

namespace {

Status readHeights(const QString &text, std::array<double, 9> *metres)
{
    const QStringList parts = text.split(QLatin1Char(','));
    const Status wrong = Status::usage(
        QStringLiteral("--heights must be nine numbers of metres rising from above 0, not '%1'")
            .arg(shownName(text)));
    if (parts.size() != 9)
        return wrong;
    for (int k = 0; k < 9; ++k) {
        if (!numberInRange(parts[k].trimmed(), 0, 1e5, &(*metres)[k]))
            return wrong;
    }
    return heightsFault(*metres).isEmpty() ? Status() : wrong;
}

} // namespace

Status checkClimateOptions(const OptionTexts &given, ClimateOptions *options)
{
    options->outs = given.values(QStringLiteral("out"));
    if (options->outs.isEmpty())
        return Status::usage(
            QStringLiteral("climate: give --out FILE (.tif, .gpkg, .geojson or .csv)"));
    const bool heights = given.isSet(QStringLiteral("heights")),
               peak = given.isSet(QStringLiteral("peak"));
    if (heights && peak)
        return Status::usage(QStringLiteral("give --heights or --peak, not both"));
    options->heightsGiven = heights || peak;
    if (heights) {
        if (const Status read =
                readHeights(given.value(QStringLiteral("heights")), &options->heights.metres);
            !read.ok())
            return read;
        options->heights.known = true;
    }
    if (peak) {
        const QString text = given.value(QStringLiteral("peak"));
        double metres = 0;
        if (!numberInRange(text, 0, 1e5, &metres) || !(metres > 0))
            return Status::usage(
                QStringLiteral("--peak must be a number of metres above 0, not '%1'")
                    .arg(shownName(text)));
        options->heights = heightsFromPeak(metres);
    }
    if (given.isSet(QStringLiteral("width"))) {
        const QString text = given.value(QStringLiteral("width"));
        double width = 0;
        if (!numberInRange(text, 2, maxMapWidth, &width) || int(width) != width ||
            int(width) % 2 != 0)
            return Status::usage(
                QStringLiteral("--width must be an even number from 2 to %1, not '%2'")
                    .arg(maxMapWidth)
                    .arg(shownName(text)));
        options->width = int(width);
    }
    return Status();
}

Status climateHeights(const QString &dir, ClimateOptions *options)
{
    if (options->heightsGiven)
        return Status();
    LevelHeights recorded;
    if (const Status read = readLevelHeights(dir, &recorded); !read.ok())
        return read;
    options->heights = recorded.known ? recorded : defaultLevelHeights();
    return Status();
}

bool climateFormatOf(const QString &path, ClimateFormat *format)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff"))
        *format = ClimateFormat::GeoTiff;
    else if (suffix == QLatin1String("gpkg"))
        *format = ClimateFormat::GeoPackage;
    else if (suffix == QLatin1String("geojson"))
        *format = ClimateFormat::GeoJson;
    else if (suffix == QLatin1String("csv"))
        *format = ClimateFormat::Csv;
    else
        return false;
    return true;
}

ClimateReport climateShares(const SphereGraph &graph, const Climate &climate)
{
    ClimateReport report;
    const double km2 = earthRadiusKm * earthRadiusKm;
    for (int v = 0; v < climate.vertexCount; ++v) {
        const char group = koppenGroup(climate.koppen[v]);
        if (!group)
            continue;
        const double area = graph.cellArea[v] * km2;
        report.landKm2 += area;
        report.groupShare[group - 'A'] += area;
    }
    for (double &share : report.groupShare)
        share = report.landKm2 > 0 ? share / report.landKm2 : 0;
    return report;
}

Status writeClimateFiles(const World &world, const ClimateOptions &options, ClimateReport *report)
{
    QVector<ClimateFormat> formats;
    Status status = checkOutputs(options.outs, &formats);
    if (!status.ok())
        return status;
    ClimateData data;
    data.graph = sphereGraph(world);
    data.climate = computeClimate(data.graph, world.levels, options.heights.metres.data());
    const bool gridded = formats.contains(ClimateFormat::GeoTiff) ||
                         formats.contains(ClimateFormat::GeoPackage) ||
                         formats.contains(ClimateFormat::GeoJson);
    const ClimateGrid grid =
        gridded ? climateGrid(world, data.climate, options.width) : ClimateGrid();
    const GdalSession session;
    // GeoPackages stamp the time of writing; a fixed one keeps the bytes the
    // world's alone.
    CPLSetThreadLocalConfigOption("OGR_CURRENT_DATE", "2000-01-01T00:00:00.000Z");
    QVector<FileWrite> writes;
    // The vector files first: reading a GeoTIFF back through openRaster
    // restricts GDAL to its raster drivers for the rest of the process.
    for (int i = 0; i < options.outs.size() && status.ok(); ++i) {
        const QString &out = options.outs[i];
        if (formats[i] == ClimateFormat::GeoPackage || formats[i] == ClimateFormat::GeoJson)
            status = zoneFile(data, grid, out, formats[i], &writes);
        else if (formats[i] == ClimateFormat::Csv)
            writes.append({out, csvBytes(world, data)});
    }
    for (int i = 0; i < options.outs.size() && status.ok(); ++i) {
        if (formats[i] == ClimateFormat::GeoTiff)
            status = geoTiffFiles(grid, options.outs[i], &writes);
    }
    CPLSetThreadLocalConfigOption("OGR_CURRENT_DATE", nullptr);
    if (!status.ok() || !(status = writeFilesAtomically(writes)).ok())
        return status;
    *report = climateShares(data.graph, data.climate);
    return status;
}
