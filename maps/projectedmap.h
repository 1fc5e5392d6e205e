// World projections and the orthographic view, made by GDAL's warper from an
// equirectangular map of the drawn globe (worldmap.h) fine enough that the
// warper never magnifies it: PROJ's own projections, never one made here.
//
// Every projection is on a sphere of radius earthRadiusM metres (sphere/sphere.h), as the
// world is a sphere: longitudes and latitudes are the map convention's
// (export-formats.md), and the coordinates are metres of that sphere.
// Its PROJ definition (projDefinition) is
//   Mollweide       +proj=moll    +lon_0=LON
//   Robinson        +proj=robin   +lon_0=LON
//   Winkel tripel   +proj=wintri  +lon_0=LON +lat_1=acos(2/pi) in degrees
//   Equal Earth     +proj=eqearth +lon_0=LON
//   orthographic    +proj=ortho   +lon_0=LON +lat_0=LAT
// each followed by +R=6371000 +units=m +no_defs. A map is W pixels wide and
// as high as the projection's outline at that scale (the world projections
// from 180 degrees west to east of their central meridian and pole to pole;
// the orthographic view square, its disc touching the four sides). Pixels
// are areas. The outline is PROJ's forward projection of the meridian
// opposite the centre (the disc for the orthographic view); a pixel's
// alpha is the share of it the outline covers, 0 wholly beyond it, where
// colours and heights are 0 too (a heightmap's alpha: 65535 where the
// pixel's centre is inside, else 0).
#ifndef PROJECTEDMAP_H
#define PROJECTEDMAP_H

#include "maps/mapoptions.h"
#include "meshes/drawnmesh.h"
#include "sphere/sphere.h"
#include "world/atomicwrite.h"
#include "world/progress.h"
#include "world/status.h"
#include "world/world.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVector>

// The name on the command line ("mollweide", "winkel-tripel", ...) of every
// projection, the equirectangular map and the cube included.
const char *projectionName(MapProjection projection);
// The projection of that name; false for any other.
bool projectionNamed(const QString &name, MapProjection *projection);
// Whether GDAL's warper makes the projection (all but equirectangular and cube).
bool isWarped(MapProjection projection);

// The PROJ definition of a warped projection's coordinate system, centred as
// options say.
QString projDefinition(const MapOptions &options);

// A warped map: the colours as RGBA (alpha 0 beyond the globe), or for a
// heightmap the 16-bit heights with a 16-bit alpha beside them (0 or 65535),
// placed by transform (GDAL's geotransform, metres) in the coordinate system
// definition (projDefinition).
struct ProjectedMap
{
    QImage image; // Format_RGBA8888, or Format_Grayscale16 for a heightmap
    QImage alpha; // null, or Format_Grayscale16 for a heightmap
    QString definition;
    double transform[6] = {0, 1, 0, 0, 0, -1};
};

// Draws the warped map options ask for: options.width wide, a heightmap
// with nearest-neighbour resampling (no level is blended into another), the
// colours with bilinear, the world's lakes and rivers (watermap.h) drawn
// on the equirectangular source before the warp when options.rivers, and
// the graticule over the warped colours when options.graticule > 0, so that
// its lines stay thin. mesh is the world's drawn mesh. Refused in one line
// naming options.out when GDAL fails.
Status renderProjectedMap(const World &world, const DrawnMesh &mesh, const MapOptions &options,
                          ProjectedMap *map, const ProgressPart &progress = {});

// The files: a PNG (RGBA with an sRGB chunk, or 16-bit grey and alpha) or
// a DEFLATE-compressed GeoTIFF with the alpha band and the coordinate
// system, so that GIS places it; for a coordinate system that GeoTIFF's
// keys cannot hold (Equal Earth), the GeoTIFF and GDAL's side file
// PATH.aux.xml holding it, to be written together. Refusals name path.
Status projectedMapFiles(const ProjectedMap &map, MapFormat format, const QString &path,
                         QVector<FileWrite> *files, const ProgressPart &progress = {});

#endif
