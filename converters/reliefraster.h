// A relief raster read through GDAL (PNG, JPEG, GeoTIFF, NetCDF, SRTM HGT,
// ...) and placed on the globe in the map convention (worldmap.h).
//
// It must hold one grey band (a grey palette, or red, green and blue bands
// that are equal in every sample, count as one), of any real sample type.
// A raster with a geotransform must be a global longitude/latitude grid in
// EPSG:4326 (or without a coordinate system), north up: W x W/2 pixels that
// are areas from 180 degrees west and 90 north, or a grid of W+1 x W/2+1
// samples on whole steps from pole to pole; its west edge may be any whole
// number of steps east of 180 degrees west, from -360 to 360 degrees. One
// without a geotransform is taken as a W x W/2 map. Samples equal to the
// band's no-data value, NaN and infinities hold no data.
#ifndef RELIEFRASTER_H
#define RELIEFRASTER_H

#include "converters/gdalsession.h"
#include "converters/meshraster.h"

#include <QString>

#include <vector>

class ReliefRaster
{
public:
    // Rasters claiming more samples, or more columns, are refused before
    // anything is read: a 30-arc-second global grid (43201 x 21601) fits.
    static const qint64 maxSamples = qint64(1) << 30;
    static const int maxColumns = 1 << 17;

    ReliefRaster() = default;
    ~ReliefRaster();
    ReliefRaster(const ReliefRaster &) = delete;
    ReliefRaster &operator=(const ReliefRaster &) = delete;

    // Opens and checks the raster; false with one line naming path in *error.
    bool open(const QString &path, QString *error);
    // The samples' place, once open: columns from 180 degrees west.
    const SampleGrid &grid() const { return samples; }
    // The full range of 8- and 16-bit unsigned samples (0..255, 0..65535);
    // false for other sample types, whose range is their data's.
    bool typeRange(double *lowest, double *highest) const;
    // Row y of grid(): grid().width values, valid[x] false where a sample
    // holds no data. False with one line in *error when the file fails or a
    // sample turns out coloured.
    bool readRow(int y, double *values, bool *valid, QString *error);

private:
    bool refuse(const QString &reason, QString *error) const;
    bool chooseBands(QString *error);
    bool place(QString *error);
    bool placeGeoreferenced(const double *transform, QString *error);

    GdalSession session;
    QString path;
    void *dataset = nullptr;
    std::vector<void *> bands;   // one grey band, or red, green and blue
    std::vector<double> palette; // grey value per index of a grey palette
    int rasterWidth = 0, rasterHeight = 0;
    int columnShift = 0; // grid column of the raster's column 0
    bool hasNoData = false;
    double noData = 0;
    bool unsignedType = false;
    double typeMaximum = 0;
    SampleGrid samples;
    std::vector<double> raw[3];
};

#endif
