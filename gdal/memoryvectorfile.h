// A vector file (GeoPackage, GeoJSON) that GDAL builds in memory, for the
// program to write through the durable writer (world/atomicwrite): the one
// way the program creates a vector dataset. GDAL never writes to disk
// itself, so that a file is whole or absent and no link is followed.
//
// Use it while a GdalSession (gdalsession.h) lives. restrictGdal
// (sandbox.h) deregisters the vector drivers for the rest of the process:
// a process that imports rasters cannot write vector files afterwards, and
// create refuses, naming the driver.
#ifndef MEMORYVECTORFILE_H
#define MEMORYVECTORFILE_H

#include "gdal/gdalsession.h"
#include "world/status.h"

#include <QByteArray>
#include <QString>

#include <gdal_priv.h>

class MemoryVectorFile
{
public:
    // path is the file the bytes are for: refusals name it.
    explicit MemoryVectorFile(const QString &path) : path(path) {}
    // Closes the dataset if still open and frees its memory, with the
    // journals a SQLite-based driver leaves beside it.
    ~MemoryVectorFile();
    MemoryVectorFile(const MemoryVectorFile &) = delete;
    MemoryVectorFile &operator=(const MemoryVectorFile &) = delete;

    // An empty dataset of driver ("GPKG", "GeoJSON") at a /vsimem/ name of
    // the program's own, unique in the process. Refused, "PATH: not written
    // (REASON)", when GDAL has no such driver or cannot create it.
    Status create(const char *driver);
    // The dataset create made, for its layers and features; null before.
    GDALDataset *dataset() const { return GDALDataset::FromHandle(open.get()); }
    // Closes the dataset, which completes the file, and takes its bytes.
    Status finish(QByteArray *bytes);

    // "PATH: not written (WHAT: GDAL's last error)", or without the colon
    // part when GDAL said nothing.
    Status failure(const QString &what) const;

private:
    QString path;
    QByteArray memName;
    GdalDataset open;
};

#endif
