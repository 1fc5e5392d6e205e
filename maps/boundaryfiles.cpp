#include "maps/boundaryfiles.h"

#include "gdal/gdalsession.h"
#include "gdal/memoryvectorfile.h"
#include "maps/lonlatline.h"
#include "maps/riverfiles.h"
#include "world/atomicwrite.h"
#include "world/filenames.h"

#include <cpl_conv.h>
#include <ogrsf_frmts.h>

namespace {

Status writeLines(MemoryVectorFile &file, const std::vector<BoundaryLine> &lines)
{
    OGRSpatialReference wgs84;
    wgs84.SetWellKnownGeogCS("WGS84");
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    GDALDataset *dataset = file.dataset();
    OGRLayer *layer = dataset->CreateLayer("boundaries", &wgs84, wkbLineString, nullptr);
    OGRFieldDefn kind("kind", OFTString);
    if (!layer || layer->CreateField(&kind) != OGRERR_NONE)
        return file.failure(QStringLiteral("GDAL cannot make the layer boundaries"));
    const bool transaction = dataset->StartTransaction() == OGRERR_NONE;
    for (const BoundaryLine &line : lines) {
        std::vector<LonLat> points;
        for (const Vec3 &p : line.points)
            points.push_back(lonLatOf(p));
        for (const auto &part : cutAtAntimeridian(points)) {
            OGRFeature feature(layer->GetLayerDefn());
            feature.SetField("kind", boundaryKindName(line.kind));
            if (feature.SetGeometry(part.get()) != OGRERR_NONE ||
                layer->CreateFeature(&feature) != OGRERR_NONE)
                return file.failure(QStringLiteral("GDAL cannot write a boundary"));
        }
    }
    if (transaction && dataset->CommitTransaction() != OGRERR_NONE)
        return file.failure(QStringLiteral("GDAL cannot finish it"));
    return Status();
}

} // namespace

Status checkBoundaryFileName(const QString &path)
{
    RiverFormat format;
    if (riverFormatOf(path, &format))
        return Status();
    return Status::usage(aboutFile(
        path, QStringLiteral("the name must end in .gpkg (a GeoPackage) or .geojson (GeoJSON)")));
}

Status writeBoundaryFile(const QString &path, const std::vector<BoundaryLine> &lines)
{
    QByteArray bytes;
    const GdalSession session;
    // GeoPackages stamp the time of writing; a fixed one keeps the bytes the
    // world's alone.
    CPLSetThreadLocalConfigOption("OGR_CURRENT_DATE", "2000-01-01T00:00:00.000Z");
    MemoryVectorFile file(path);
    RiverFormat format = RiverFormat::GeoJson;
    riverFormatOf(path, &format);
    Status status = file.create(format == RiverFormat::GeoPackage ? "GPKG" : "GeoJSON");
    if (status.ok())
        status = writeLines(file, lines);
    if (status.ok())
        status = file.finish(&bytes);
    CPLSetThreadLocalConfigOption("OGR_CURRENT_DATE", nullptr);
    return status.ok() ? writeFileAtomically(path, bytes) : status;
}
