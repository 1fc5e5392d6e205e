// The sandbox: GDAL and PROJ without surprises, for rasters from strangers.
//
// GDAL opens far more than raster files: URLs and /vsicurl/ names make HTTP
// requests, /vsizip/ and friends read inside archives, a VRT file can read
// any other file (a VRTRawRasterBand takes the bytes of /etc/passwd as
// samples), run Python, or name sources that are themselves URLs, devices or
// other VRTs. The import checks a raster with checkRasterSource before it
// opens it, and restrictGdal leaves GDAL able to read raster files only.
// PROJ, below GDAL, opens the grid files a raster's coordinate system names
// while GDAL opens the raster: in every program that links this, each PROJ
// context reads regular files in PROJ's own data folders only, and no
// network.
//
// The sandbox stands below the session (gdalsession.h): it registers GDAL's
// drivers itself and never opens a raster, so that it includes nothing of
// the session's.
#ifndef SANDBOX_H
#define SANDBOX_H

#include "world/status.h"

#include <QString>
#include <QStringList>

// GDAL's block cache while any session lives: decoded blocks kept for
// reuse, so that an import's memory is bounded whatever the raster.
const qint64 gdalBlockCacheBytes = qint64(256) << 20;

// Once per process: GDAL's built-in drivers registered and its block cache
// capped at gdalBlockCacheBytes. Later calls do nothing.
void registerGdal();

// While one lives, GDAL's messages stay off the terminal, so that a failure
// is reported as our one line, not GDAL's; the last error starts empty.
class QuietGdal
{
public:
    QuietGdal();
    ~QuietGdal();
    QuietGdal(const QuietGdal &) = delete;
    QuietGdal &operator=(const QuietGdal &) = delete;
};

// The GDAL drivers kept: raster file formats whose files name no other file
// (sidecars beside them aside). Network, database and vector drivers, and
// formats whose headers point at data files by any path (ERS, ISIS, PDS),
// are not among them. MEM stays for the maps' own in-memory rasters; it is
// never opened by name, since checkRasterSource refuses such names.
const QStringList &allowedRasterDrivers();
// The same names as GDAL's open functions take them: null-terminated.
const char *const *allowedDriverList();

// The drivers kept for writing the program's own files, never for reading
// one (openRaster opens with allowedDriverList alone): KMLSUPEROVERLAY, the
// maps' Google Earth archives.
const QStringList &writeOnlyRasterDrivers();

// Once per process, before any raster is opened: every driver not in
// allowedRasterDrivers or writeOnlyRasterDrivers deregistered, plugins not loaded, GDAL's HTTP sent
// nowhere, Python pixel functions, raw VRT bands and side files (.aux.xml)
// off, netCDF's run-control files (.ncrc, .dodsrc) and HDF5's plugins
// ignored. Later calls do nothing.
void restrictGdal();

class RasterDoor;

// Refused in one line unless path is a plain path (the first rule below),
// before anything is opened by that name.
Status checkRasterName(const QString &path);

// Whether the raster at path may be opened: refused, in one line naming
// path or the source at fault, unless
// - the name is a plain path: no URL, no driver prefix ("NETCDF:"), no
//   inline XML, no /vsi path but the program's own /vsimem/;
// - it is a file in one of the allowed formats, read through door (the
//   file the user named, opened once: rasterdoor.h) or, for the program's
//   own /vsimem/ files, door null;
// - a PNG is not interlaced beyond the size GDAL decodes once;
// - and, for a VRT, every source it names, at any depth, is a plain regular
//   file reached without links, in or below the raster's own folder, in an
//   allowed format; no band is raw or runs Python, and no band's sources
//   cover each pixel more than 16 times on average.
// *driver, if given, is then the format's GDAL short name. Calls
// restrictGdal.
Status checkRasterSource(const QString &path, const RasterDoor *door, QString *driver = nullptr);

#endif
