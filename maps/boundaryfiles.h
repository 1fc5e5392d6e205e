// The plate boundaries of a plates world (erosion/plates.h) as a GIS vector
// file through OGR, in WGS 84 longitude and latitude with the maps'
// geography (worldmap.h): LineStrings with a field kind ("convergent",
// "divergent" or "transform"); FILE.gpkg a GeoPackage whose layer is
// "boundaries", FILE.geojson a FeatureCollection. A line crossing the
// antimeridian is cut there into one feature on each side. An existing file
// is replaced whole.
#ifndef BOUNDARYFILES_H
#define BOUNDARYFILES_H

#include "erosion/plates.h"
#include "world/status.h"

#include <QString>

#include <vector>

// A usage error, naming the file, unless its name ends in .gpkg or
// .geojson (in any case).
Status checkBoundaryFileName(const QString &path);

// Writes the file through the durable writer (world/atomicwrite); refused,
// naming the file, when GDAL cannot make it. Same lines, same bytes.
Status writeBoundaryFile(const QString &path, const std::vector<BoundaryLine> &lines);

#endif
