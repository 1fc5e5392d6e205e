// GDAL for the raster import and the GeoTIFF maps: its drivers registered
// once, its block cache capped, and its messages kept off the terminal while
// a session lives, so that a failure is reported as our one line, not GDAL's.
//
// Every raster the import reads is opened through openRaster, the one place
// that decides what GDAL may open.
#ifndef GDALSESSION_H
#define GDALSESSION_H

#include "gdal/rasterdoor.h"
#include "gdal/sandbox.h"
#include "world/progress.h"

#include <QString>
#include <QStringList>

#include <gdal.h>
#include <gdal_alg.h>

#include <memory>

class GdalSession
{
public:
    // GDAL's last error message, for the end of our line ("" when none).
    static QString lastError();

private:
    // The drivers are registered before GDAL is quietened.
    struct Registered
    {
        Registered() { registerGdal(); }
    } registered;
    QuietGdal quiet;
};

// Owners of GDAL's handles: a dataset closed, a transformer (of any kind
// GDAL makes) destroyed when its owner goes.
struct GdalDatasetClose
{
    void operator()(void *dataset) const
    {
        GDALClose(dataset);
        releaseRasterDoors(dataset);
    }
};
using GdalDataset = std::unique_ptr<void, GdalDatasetClose>;
struct GdalTransformerDestroy
{
    void operator()(void *transformer) const { GDALDestroyTransformer(transformer); }
};
using GdalTransformer = std::unique_ptr<void, GdalTransformerDestroy>;

// Opens the raster at path for reading, within a GdalSession: a file, a
// /vsi path, or one of GDAL's subdataset names (NETCDF:"file":variable,
// HDF5:"file"://path, ...). A container of subdatasets without bands of its
// own (a NetCDF or HDF file of several variables) opens as its one
// elevation-like 2-D variable; with none or several, it is refused naming
// them; *picked, if given, is then its GDAL name (else empty). openOptions
// are GDAL's (OVERVIEW_LEVEL=n opens an overview). Refused in one line
// "PATH: REASON" when it cannot be opened, dataset then empty.
Status openRaster(const QString &path, GdalDataset &dataset,
                  const QStringList &openOptions = QStringList(), QString *picked = nullptr);
// A GDALProgressFunc over a ProgressPart: pass it with the part's address as
// the callback's argument wherever GDAL does the work (GDALCreateCopy,
// GDALWarp, GDALRasterIO's psExtraArg, ...). It never cancels the work.
int gdalProgress(double complete, const char *message, void *part);

#endif
