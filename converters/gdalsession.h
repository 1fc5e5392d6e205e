// GDAL for the raster import and the GeoTIFF maps: its drivers registered
// once, and its messages kept off the terminal while a session lives, so
// that a failure is reported as our one line, not GDAL's.
#ifndef GDALSESSION_H
#define GDALSESSION_H

#include "world/progress.h"

#include <QString>

class GdalSession
{
public:
    GdalSession();
    ~GdalSession();
    GdalSession(const GdalSession &) = delete;
    GdalSession &operator=(const GdalSession &) = delete;

    // GDAL's last error message, for the end of our line ("" when none).
    static QString lastError();
};

// A GDALProgressFunc over a ProgressPart: pass it with the part's address as
// the callback's argument wherever GDAL does the work (GDALCreateCopy,
// GDALWarp, GDALRasterIO's psExtraArg, ...). It never cancels the work.
int gdalProgress(double complete, const char *message, void *part);

#endif
