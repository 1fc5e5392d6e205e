// GDAL for the raster import and the GeoTIFF maps: its drivers registered
// once, and its messages kept off the terminal while a session lives, so
// that a failure is reported as our one line, not GDAL's.
#ifndef GDALSESSION_H
#define GDALSESSION_H

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

#endif
