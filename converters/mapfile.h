// Map files: the format chosen by the name, and the bytes of each.
//
// - .png: the image as PNG; a colour map carries an sRGB chunk, as its
//   colours are the editor's sRGB bytes; a heightmap is 16-bit grey.
// - .tif or .tiff: a DEFLATE-compressed GeoTIFF in EPSG:4326 whose
//   geotransform (-180, 360 / W, 0, 90, 0, -180 / H) places the pixels as
//   areas in the map convention (worldmap.h): 8-bit RGB, or 16-bit grey.
#ifndef MAPFILE_H
#define MAPFILE_H

#include "converters/worldmap.h"
#include "world/status.h"
#include "world/world.h"

#include <QByteArray>
#include <QImage>
#include <QString>

enum class MapFormat { Png, GeoTiff };

// The format the file name's extension asks for (in any case); false for
// any other extension.
bool mapFormatOf(const QString &path, MapFormat *format);

// The file bytes of a map: image is Format_RGB888 or Format_Grayscale16,
// twice as wide as high. False, with one line in *error, if GDAL fails.
bool mapFileBytes(const QImage &image, MapFormat format, QByteArray *bytes, QString *error);

struct MapOptions
{
    QString out; // the file to write
    MapFormat format = MapFormat::Png;
    int width = defaultMapWidth; // even, from 2 to maxMapWidth
    bool heightmap = false;
};

// The map command: draws the world's globe as options say and writes the
// file. *unrestorable receives the count of vertices an import of the
// heightmap would not give back their levels (0 for a colour map).
Status writeMap(const World &world, const MapOptions &options, int *unrestorable);

#endif
