// Rasters the program makes in GDAL's memory, for its own maps: a MEM
// dataset over pixels it already holds, and a file's bytes made from a
// dataset in GDAL's memory files, for the program to write through the
// durable writer (world/atomicwrite). The one way the program creates a
// raster dataset (the vector files: memoryvectorfile.h), so that GDAL never
// writes to disk itself.
//
// Use them while a GdalSession (gdalsession.h) lives.
#ifndef MEMORYRASTER_H
#define MEMORYRASTER_H

#include "gdal/gdalsession.h"
#include "world/progress.h"
#include "world/status.h"

#include <QByteArray>
#include <QString>

#include <gdal.h>

#include <vector>

// One band: a view of pixels the caller owns and keeps while the dataset
// lives. Offsets in bytes.
struct RasterBandView
{
    const uchar *first;
    GDALDataType type;
    int pixelBytes, lineBytes;
    GDALColorInterp colour;
};

// A MEM dataset whose bands are views of the pixels, so that none is
// copied on the way in or out of GDAL; empty when GDAL cannot make it.
GdalDataset memoryRasterOver(int width, int height, const std::vector<RasterBandView> &bands);

// The bytes of dataset as a file of driver ("GTiff", "PNG") with its
// creation options, made at a /vsimem/ name of the program's own, unique in
// the process. path is the file the bytes are for: refusals name it,
// "PATH: REASON". When the dataset has a coordinate system that the file
// cannot hold (GDAL 3.6's GeoTIFF writer drops Equal Earth without a word:
// it has no GeoTIFF keys), *sideFile, if given, receives GDAL's own side
// file for it, PATH.aux.xml, which GDAL and GIS programs read beside the
// file; without sideFile it is refused rather than written unplaced.
// suffix ends the memory file's name, for the drivers that choose a layout
// by it (".kmz").
Status memoryRasterBytes(GDALDatasetH dataset, const char *driver, const char *const *options,
                         const QString &path, QByteArray *bytes, const ProgressPart &progress = {},
                         QByteArray *sideFile = nullptr, const char *suffix = "");

// GDAL's auxiliary side file (PAM, NAME.aux.xml) holding srs as WKT2.
QByteArray auxiliarySrsFile(OGRSpatialReferenceH srs);

#endif
