// The one door through which GDAL and the libraries under it reach a
// raster the user named and the files beside it.
//
// GDAL opens more than the file it is given: world files (.pgw, .tfw),
// .prj, overviews (.ovr), masks (.msk), .aux, a VRT's sources. Opened by
// name, blocking, a FIFO at any of them hung the import, a link at
// big.tif.ovr made a raster elsewhere the overview, and a file swapped
// between our check and GDAL's open was read unchecked.
//
// A RasterDoor opens the named file once (O_NONBLOCK, regular files only;
// a link the user typed is followed) and its folder once. GDAL is then given
// a name under our own virtual file system, /vsiguard/, whose every open
// - of the named file reads that same open file, never the name again;
// - of any other file resolves it beneath the opened folder without
//   following any link (openat2 with RESOLVE_BENEATH and
//   RESOLVE_NO_SYMLINKS), non-blocking, and keeps it only if regular;
// - for writing is refused.
// GDAL's list of a folder's files (its sibling search) holds only the
// regular files directly in the raster's folder.
//
// The netCDF, HDF5 and HDF4 libraries open files themselves, not through
// GDAL's virtual files: they are given /proc/self/fd/N, the same open file.
#ifndef RASTERDOOR_H
#define RASTERDOOR_H

#include "world/status.h"

#include <QString>

class RasterDoor
{
public:
    RasterDoor() = default;
    ~RasterDoor();
    RasterDoor(const RasterDoor &) = delete;
    RasterDoor &operator=(const RasterDoor &) = delete;

    // Opens path, refused in one line ("no such file", "a FIFO, not a
    // regular file", ...) unless a regular file.
    Status open(const QString &path);

    // The named file, for GDAL's virtual file system: /vsiguard/ID/ABSOLUTE.
    QString gdalName() const;
    // The named file as a path the netCDF and HDF libraries open:
    // /proc/self/fd/N.
    QString fdName() const;
    int fd() const;
    // The named file's absolute path, and any absolute path's name under
    // this door.
    QString file() const;
    QString gdalNameOf(const QString &absolute) const;
    // The folder every other file must lie in or below, absolute, with a
    // closing '/'.
    QString folder() const;
    // A name GDAL gave (a subdataset's, an error's) with our names for the
    // file put back to the one the user typed.
    QString shown(const QString &gdalText) const;

    // The door stays open while dataset lives: GDAL opens overviews, masks
    // and a VRT's sources when they are first read. releaseRasterDoors is
    // called when the dataset is closed.
    void keepOpenFor(void *dataset);

private:
    int id = -1;
    QString typed;
};

// Every door kept open for dataset closed (nothing when there is none).
void releaseRasterDoors(void *dataset);

#endif
