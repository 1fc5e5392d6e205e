#include "maps/riverfiles.h"

#include "gdal/gdalsession.h"
#include "gdal/memoryvectorfile.h"
#include "maps/lonlatline.h"
#include "water/cells.h"
#include "water/rivers.h"
#include "world/atomicwrite.h"
#include "world/filenames.h"

#include <QDir>
#include <QFileInfo>

#include <cpl_conv.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

// What the files hold, computed once for all of them.
struct Water : WaterNetwork
{
    std::vector<int> basins;                     // the basins written
    std::vector<std::vector<int>> basinVertices; // beside them
};

Water computeWater(const World &world, const RiverOptions &options)
{
    Water water;
    static_cast<WaterNetwork &>(water) = waterNetwork(world, options.minAreaKm2, options.radiusKm);
    const Drainage &d = water.drainage;
    std::vector<int> slot(d.basins.size(), -1);
    for (size_t b = 0; b < d.basins.size(); ++b) {
        if (d.basins[b].areaKm2 >= water.minAreaKm2) {
            slot[b] = int(water.basins.size());
            water.basins.push_back(int(b));
        }
    }
    water.basinVertices.resize(water.basins.size());
    for (int v = 0; v < d.vertexCount; ++v) {
        if (d.basinOf[v] >= 0 && slot[d.basinOf[v]] >= 0)
            water.basinVertices[slot[d.basinOf[v]]].push_back(v);
    }
    return water;
}

OGRLinearRing *linearRing(const Ring &ring)
{
    auto *linear = new OGRLinearRing;
    for (const LonLat &p : ring)
        linear->addPoint(p.lon, p.lat);
    linear->closeRings();
    return linear;
}

// What the vertices' cells cover, as one MultiPolygon traced from their
// edges (water/cells: no union, which took most of the command's time);
// empty where a hand-made world's vertices have no cells.
std::unique_ptr<OGRGeometry> cellUnion(const Drainage &d, const std::vector<int> &vertices)
{
    auto multi = std::make_unique<OGRMultiPolygon>();
    for (const CellPolygon &region : cellRegion(d, vertices)) {
        auto *polygon = new OGRPolygon;
        polygon->addRingDirectly(linearRing(region.shell));
        for (const Ring &hole : region.holes)
            polygon->addRingDirectly(linearRing(hole));
        multi->addGeometryDirectly(polygon);
    }
    return multi;
}

// A river's line, cut where it crosses the antimeridian.
std::vector<std::unique_ptr<OGRLineString>> riverLines(const Drainage &d,
                                                       const RiverSegment &segment)
{
    std::vector<LonLat> points;
    for (int v : segment.vertices)
        points.push_back(lonLatOf(d.units[v]));
    return cutAtAntimeridian(points);
}

struct FieldDef
{
    const char *name;
    OGRFieldType type;
};

const FieldDef riverFields[] = {
    {"flow_km2", OFTReal}, {"strahler", OFTInteger}, {"ends", OFTString}, {"basin", OFTInteger}};
const FieldDef lakeFields[] = {{"level", OFTInteger}, {"area_km2", OFTReal}};
const FieldDef basinFields[] = {
    {"basin", OFTInteger}, {"area_km2", OFTReal}, {"mouth_lon", OFTReal}, {"mouth_lat", OFTReal}};

// One vector file being made in memory (gdal/memoryvectorfile.h) and its
// layers: three for a GeoPackage, one holding every kind for GeoJSON.
class VectorFile
{
public:
    VectorFile(const QString &path, RiverFormat format) : memory(path), format(format) {}

    Status open();
    Status write(const Water &water);
    Status close(QByteArray *bytes) { return memory.finish(bytes); }

private:
    Status addLayer(const char *name, OGRwkbGeometryType type, const FieldDef *fields,
                    int fieldCount, OGRLayer **layer);
    Status add(OGRLayer *layer, const char *kind, OGRFeature &feature, OGRGeometry *geometry);

    MemoryVectorFile memory;
    RiverFormat format;
    OGRLayer *rivers = nullptr, *lakes = nullptr, *basins = nullptr;
};

Status VectorFile::open()
{
    const bool gpkg = format == RiverFormat::GeoPackage;
    if (const Status created = memory.create(gpkg ? "GPKG" : "GeoJSON"); !created.ok())
        return created;
    if (!gpkg) {
        std::vector<FieldDef> fields = {{"kind", OFTString}};
        fields.insert(fields.end(), std::begin(riverFields), std::end(riverFields));
        fields.push_back(lakeFields[0]);
        fields.push_back(lakeFields[1]);
        fields.push_back(basinFields[2]);
        fields.push_back(basinFields[3]);
        Status status = addLayer("water", wkbUnknown, fields.data(), int(fields.size()), &rivers);
        lakes = basins = rivers;
        return status;
    }
    Status status = addLayer("rivers", wkbLineString, riverFields, 4, &rivers);
    if (status.ok())
        status = addLayer("lakes", wkbMultiPolygon, lakeFields, 2, &lakes);
    if (status.ok())
        status = addLayer("basins", wkbMultiPolygon, basinFields, 4, &basins);
    return status;
}

Status VectorFile::addLayer(const char *name, OGRwkbGeometryType type, const FieldDef *fields,
                            int fieldCount, OGRLayer **layer)
{
    OGRSpatialReference wgs84;
    wgs84.SetWellKnownGeogCS("WGS84");
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    *layer = memory.dataset()->CreateLayer(name, &wgs84, type, nullptr);
    if (!*layer)
        return memory.failure(
            QStringLiteral("GDAL cannot make the layer %1").arg(QLatin1String(name)));
    for (int i = 0; i < fieldCount; ++i) {
        OGRFieldDefn field(fields[i].name, fields[i].type);
        if ((*layer)->CreateField(&field) != OGRERR_NONE)
            return memory.failure(
                QStringLiteral("GDAL cannot make the field %1").arg(QLatin1String(fields[i].name)));
    }
    return Status();
}

Status VectorFile::add(OGRLayer *layer, const char *kind, OGRFeature &feature,
                       OGRGeometry *geometry)
{
    if (format == RiverFormat::GeoJson)
        feature.SetField("kind", kind);
    if (!geometry || feature.SetGeometry(geometry) != OGRERR_NONE ||
        layer->CreateFeature(&feature) != OGRERR_NONE)
        return memory.failure(QStringLiteral("GDAL cannot write a %1").arg(QLatin1String(kind)));
    return Status();
}

Status VectorFile::write(const Water &water)
{
    const Drainage &d = water.drainage;
    // GeoJSON has no transactions; a GeoPackage is far faster within one.
    GDALDataset *dataset = memory.dataset();
    const bool transaction = dataset->StartTransaction() == OGRERR_NONE;
    Status status;
    for (size_t i = 0; i < water.rivers.size() && status.ok(); ++i) {
        const RiverSegment &segment = water.rivers[i];
        for (const auto &line : riverLines(d, segment)) {
            OGRFeature feature(rivers->GetLayerDefn());
            feature.SetField("flow_km2", segment.flowKm2);
            feature.SetField("strahler", segment.strahler);
            feature.SetField("ends", riverEndName(segment.end));
            if (segment.basin >= 0)
                feature.SetField("basin", segment.basin);
            if (!(status = add(rivers, "river", feature, line.get())).ok())
                break;
        }
    }
    for (size_t i = 0; i < d.lakes.size() && status.ok(); ++i) {
        OGRFeature feature(lakes->GetLayerDefn());
        feature.SetField("level", d.lakes[i].level);
        feature.SetField("area_km2", d.lakes[i].areaKm2);
        status = add(lakes, "lake", feature, cellUnion(d, d.lakes[i].vertices).get());
    }
    for (size_t i = 0; i < water.basins.size() && status.ok(); ++i) {
        const Basin &basin = d.basins[water.basins[i]];
        const LonLat mouth = lonLatOf(d.units[basin.outlet]);
        OGRFeature feature(basins->GetLayerDefn());
        feature.SetField("basin", water.basins[i]);
        feature.SetField("area_km2", basin.areaKm2);
        feature.SetField("mouth_lon", mouth.lon);
        feature.SetField("mouth_lat", mouth.lat);
        status = add(basins, "basin", feature, cellUnion(d, water.basinVertices[i]).get());
    }
    if (status.ok() && transaction && dataset->CommitTransaction() != OGRERR_NONE)
        status = memory.failure(QStringLiteral("GDAL cannot finish it"));
    return status;
}

Status checkOutputs(const QStringList &outs, QVector<RiverFormat> *formats)
{
    for (const QString &out : outs) {
        RiverFormat format;
        if (!riverFormatOf(out, &format))
            return Status::usage(
                aboutFile(out, QStringLiteral("the name must end in .gpkg (a "
                                              "GeoPackage) or .geojson (GeoJSON)")));
        if (const Status folder = checkOutputFolder(out); !folder.ok())
            return folder;
        formats->append(format);
    }
    return Status();
}

} // namespace

bool riverFormatOf(const QString &path, RiverFormat *format)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("gpkg"))
        *format = RiverFormat::GeoPackage;
    else if (suffix == QLatin1String("geojson"))
        *format = RiverFormat::GeoJson;
    else
        return false;
    return true;
}

Status writeRiverFiles(const World &world, const RiverOptions &options, RiverReport *report)
{
    QVector<RiverFormat> formats;
    Status status = checkOutputs(options.outs, &formats);
    if (!status.ok())
        return status;
    const Water water = computeWater(world, options);
    const GdalSession session;
    // GeoPackages stamp the time of writing; a fixed one keeps the bytes the
    // world's alone.
    CPLSetThreadLocalConfigOption("OGR_CURRENT_DATE", "2000-01-01T00:00:00.000Z");
    QVector<FileWrite> writes;
    for (int i = 0; i < options.outs.size() && status.ok(); ++i) {
        VectorFile file(options.outs[i], formats[i]);
        QByteArray bytes;
        if ((status = file.open()).ok() && (status = file.write(water)).ok() &&
            (status = file.close(&bytes)).ok())
            writes.append({options.outs[i], bytes});
    }
    CPLSetThreadLocalConfigOption("OGR_CURRENT_DATE", nullptr);
    if (!status.ok() || !(status = writeFilesAtomically(writes)).ok())
        return status;
    report->rivers = int(water.rivers.size());
    report->lakes = int(water.drainage.lakes.size());
    report->basins = int(water.basins.size());
    report->minAreaKm2 = water.minAreaKm2;
    return status;
}

Status checkRiverOptions(const OptionTexts &given, RiverOptions *options)
{
    options->outs = given.values(QStringLiteral("out"));
    if (options->outs.isEmpty())
        return Status::usage(QStringLiteral("rivers: give --out FILE (.gpkg or .geojson)"));
    const double huge = std::numeric_limits<double>::max();
    const QString minArea = given.value(QStringLiteral("min-area"));
    if (given.isSet(QStringLiteral("min-area")) &&
        !numberInRange(minArea, 0, huge, &options->minAreaKm2))
        return Status::usage(QStringLiteral("--min-area must be a number of km² from 0, not '%1'")
                                 .arg(shownName(minArea)));
    const QString radius = given.value(QStringLiteral("radius"));
    if (given.isSet(QStringLiteral("radius")) &&
        !(numberInRange(radius, 0, 1e9, &options->radiusKm) && options->radiusKm > 0))
        return Status::usage(QStringLiteral("--radius must be a number of km above 0, not '%1'")
                                 .arg(shownName(radius)));
    return Status();
}
