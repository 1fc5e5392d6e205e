// Map files: the format chosen by the name, and the bytes of each.
//
// - .png: the image as PNG; a colour map carries an sRGB chunk, as its
//   colours are the editor's sRGB bytes; a heightmap is 16-bit grey.
// - .tif or .tiff: a DEFLATE-compressed GeoTIFF in EPSG:4326 whose
//   geotransform (-180, 360 / W, 0, 90, 0, -180 / H) places the pixels as
//   areas in the map convention (worldmap.h): 8-bit RGB, or 16-bit grey.
// - .kmz: that colour map for Google Earth, through GDAL's KMLSUPEROVERLAY
//   driver: doc.kml at the archive's root, PNG tiles of 256 pixels in
//   levels of detail, each tile a KML region, so that a wide map stays
//   light; north up and placed on the globe.
// - .webp, .gif, .mp4: a turntable of orthographic frames (turntable.h).
//
// A cube map (cubemap.h) is six PNG faces beside each other: NAME.png names
// NAME-px.png, NAME-nx.png, NAME-py.png, NAME-ny.png, NAME-pz.png and
// NAME-nz.png, written all or nothing.
#ifndef MAPFILE_H
#define MAPFILE_H

#include "maps/mapoptions.h"
#include "world/status.h"
#include "world/world.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// The format the file name's extension asks for (in any case); false for
// any other extension.
bool mapFormatOf(const QString &path, MapFormat *format);

// The file bytes of a still map: image is Format_RGB888 or
// Format_Grayscale16 (not for a KMZ), twice as wide as high. Refused, in one line naming path (the
// file the bytes are for), if GDAL fails. progress follows GDAL's writing of a GeoTIFF. west is the
// longitude of the map's west edge in degrees, -180 unless the map is centred elsewhere (--center):
// the GeoTIFF's origin. title names a KMZ's document (the world's name).
Status mapFileBytes(const QImage &image, MapFormat format, const QString &path, QByteArray *bytes,
                    const ProgressPart &progress = {}, double west = -180,
                    const QString &title = {});

// The file of face (cubemap.h) of the cube map named out: NAME-px.png for
// NAME.png.
QString cubeFaceFile(const QString &out, int face);

// The map command: draws the world's globe as options say and writes the
// file, or the six faces all or nothing. *unrestorable receives the count
// of vertices an import of the heightmap would not give back their levels
// (0 for a colour map and for a cube).
Status writeMap(const World &world, const MapOptions &options, int *unrestorable,
                const ProgressPart &progress = {});

#endif
