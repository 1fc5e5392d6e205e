// The rivers command: a world's rivers, lakes and drainage basins (water/)
// as GIS vector files through GDAL's vector drivers, in WGS 84 longitude and
// latitude with the maps' geography (worldmap.h).
//
// - FILE.gpkg: a GeoPackage with three layers:
//   rivers  LineString: flow_km2 (real, at its downstream end), strahler
//           (integer), ends ("sea", "lake" or "river"), basin (integer);
//   lakes   MultiPolygon: level (integer, its surface), area_km2 (real);
//   basins  MultiPolygon: basin (integer), area_km2 (real), mouth_lon and
//           mouth_lat (real, degrees: its last land vertex);
// - FILE.geojson: one FeatureCollection holding all three, each feature's
//   kind "river", "lake" or "basin" and the fields of its kind.
//
// A river crossing the antimeridian is cut there into one feature on each
// side. Polygons are the union of the vertices' cells (water/cells.h),
// valid for GEOS. Basins are written where their area reaches the rivers'
// threshold. Same world, same bytes.
#ifndef RIVERFILES_H
#define RIVERFILES_H

#include "water/drainage.h"
#include "world/optiontexts.h"
#include "world/status.h"
#include "world/world.h"

#include <QString>
#include <QStringList>

enum class RiverFormat { GeoPackage, GeoJson };

// The format the name's extension (in any case) asks for: .gpkg or
// .geojson. False for any other.
bool riverFormatOf(const QString &path, RiverFormat *format);

struct RiverOptions
{
    QStringList outs;       // the files to write, in the order given
    double minAreaKm2 = -1; // a river's least flow; negative: defaultMinAreaKm2 (water/rivers.h)
    double radiusKm = earthRadiusKm;
};

// The rivers command's options from their texts: out (at least one),
// min-area and radius; a usage error echoing the value as typed.
Status checkRiverOptions(const OptionTexts &given, RiverOptions *options);

// What was written, for the user.
struct RiverReport
{
    int rivers = 0, lakes = 0, basins = 0;
    double minAreaKm2 = 0;
};

// Writes every file of options.outs, all of them or none (writeFilesAtomically),
// after checking every name and folder, so that a mistake leaves no file.
Status writeRiverFiles(const World &world, const RiverOptions &options, RiverReport *report);

#endif
