// A relief raster read through GDAL (PNG, JPEG, GeoTIFF, NetCDF, HDF, SRTM
// HGT, VRT, ...) into a longitude/latitude grid over the globe in the map
// convention (worldmap.h), at the resolution a world needs.
//
// It must hold one grey band (a grey palette, or red, green and blue bands
// that are equal in every sample, count as one), of any real sample type.
// Where it lies:
// - without a geotransform it is a W x W/2 map of the whole globe;
// - in a geographic coordinate system (or none, with a geotransform in
//   degrees), north up: its longitudes in any layout (-180..180, 0..360,
//   any origin), pixels as areas or samples on a grid, the whole globe or
//   any part of it. It is read with GDAL's averaging RasterIO (overviews
//   used where they help), so that a grid that is already the one wanted,
//   like a map's, is read sample for sample;
// - in any other coordinate system GDAL knows (web Mercator, polar
//   stereographic, UTM, ...), or turned: warped to longitude/latitude
//   through GDAL's warper (a warped VRT, average resampling, from the
//   overview nearest the resolution wanted).
// Samples equal to the band's no-data value, NaN and infinities hold no
// data; grid samples outside the raster are outside it.
//
// Memory is bounded whatever the raster's size: the grid is at most
// 16384 x 8192 samples, it is read in strips of rows, and GDAL's block cache
// is capped (gdalsession.h). A raster whose single block decodes to more
// than maxBlockBytes is refused before it is read.
#ifndef RELIEFRASTER_H
#define RELIEFRASTER_H

#include "gdal/gdalsession.h"
#include "maps/meshraster.h"

#include <QString>

#include <gdalwarper.h>

#include <memory>
#include <vector>

class ReliefRaster
{
public:
    // One decoded block of the file, at most.
    static const qint64 maxBlockBytes = qint64(256) << 20;
    // A longitude/latitude raster whose own resolution needs no more
    // columns than this is read at it (a map or a grid sample for sample);
    // a finer one, or a warped one finer than the world needs, at the width
    // the world asks for.
    static const int nativeColumnLimit = 16384;

    // What a grid sample holds.
    enum SampleState : unsigned char { Outside = 0, NoData = 1, Data = 2 };

    ReliefRaster();
    ~ReliefRaster();
    ReliefRaster(const ReliefRaster &) = delete;
    ReliefRaster &operator=(const ReliefRaster &) = delete;

    // Opens and checks the raster; refused in one line naming path.
    Status open(const QString &path);
    // Chooses the grid: the raster's own when it needs at most
    // max(wantedWidth, nativeColumnLimit) columns (wantedWidth when warped),
    // else wantedWidth (even) columns. Refused, in one line, when the raster
    // cannot be placed.
    Status prepare(int wantedWidth);

    // The subdataset open picked in a file of several, by GDAL's name; else empty.
    const QString &subdataset() const { return picked; }
    int width() const { return rasterWidth; }
    int height() const { return rasterHeight; }
    bool georeferenced() const { return hasTransform; }
    bool warped() const { return warp != nullptr; }
    // Once prepared: the grid, columns from 180 degrees west, and the rows
    // the raster reaches (every other row is outside it).
    const SampleGrid &grid() const { return samples; }
    int firstRow() const { return rowBegin; }
    int endRow() const { return rowEnd; }
    // Rows y .. y + count - 1 of grid(), grid().width values and states a
    // row. Refused in one line when the file fails or a sample turns out
    // coloured.
    Status readRows(int y, int count, double *values, unsigned char *states);

    // The full range of 8- and 16-bit unsigned samples (0..255, 0..65535);
    // false for other sample types, whose range is their data's.
    bool typeRange(double *lowest, double *highest) const;

private:
    struct Warp;

    // Where GDAL's warper puts the raster on the globe.
    struct Extent
    {
        double nativeWidth; // the columns of a global grid at the raster's resolution
        double minX, minY, maxX, maxY;
    };

    Status refuse(const QString &reason) const;
    Status placeGeoreferenced();
    Status chooseBands();
    Status withinAnyMap() const;
    Status checkBlocks();
    void prepareLonLat(int wantedWidth);
    Status prepareWarp(int wantedWidth);
    Status suggestExtent(Extent &extent) const;
    void chooseWarpFrame(const Extent &extent, int wantedWidth);
    Status openOverview(double ratio);
    Status reduceSource(double ratio);
    void fillWarpOptions(GDALWarpOptions &options) const;
    Status buildWarpedVrt();
    int gridWidthFor(double nativeWidth, int wantedWidth, int limit) const;
    Status readLonLat(int y, int count);
    Status readWarped(int y, int count);
    Status finishRows(int count, double *values, unsigned char *states);

    GdalSession session;
    QString path, picked;
    GdalDataset dataset;
    std::vector<GDALRasterBandH> bands; // one grey band, or red, green and blue
    std::vector<double> palette;        // grey value per index of a grey palette
    int rasterWidth = 0, rasterHeight = 0;
    bool hasTransform = false;
    double transform[6] = {0, 1, 0, 0, 0, 1};
    bool lonLat = false; // placed by its geotransform in degrees
    bool hasNoData = false;
    double noData = 0;
    bool unsignedType = false;
    double typeMaximum = 0;

    SampleGrid samples;
    // The frame rows are read in: column c of it is grid column
    // (c + shift) mod width; its west and north edges in degrees.
    double frameWest = -180, frameNorth = 90, stepX = 1, stepY = 1;
    int shift = 0;
    int rowBegin = 0, rowEnd = 0, columnBegin = 0, columnEnd = 0;
    std::unique_ptr<Warp> warp;
    std::vector<double> strip[3];       // frame order, per band
    std::vector<unsigned char> covered; // frame order: inside the raster
};

#endif
