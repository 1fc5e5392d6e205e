// Containers (netCDF, HDF5, HDF4) looked into before GDAL reads them.
//
// Their libraries read what the file says, wherever it says: an HDF5
// dataset may keep its samples in other files (external storage, a virtual
// dataset's sources), an HDF5 group may link into another file, an HDF4
// element may be external; and a file of 8 KB may declare a dimension of
// two billion longitudes, whose coordinates GDAL reads whole (16 GB) as it
// opens it. Each is refused here, in one line naming the file, from the
// container's own structure alone: no sample is read.
#ifndef CONTAINERCHECK_H
#define CONTAINERCHECK_H

#include "world/status.h"

#include <QString>

// The longest dimension any container may declare: a global grid of a
// tenth of an arc-second is 12,960,000 columns, no elevation model comes
// near it, and coordinates of this many doubles take 128 MiB.
const long long maxContainerDimension = 1ll << 24;

// Whether the container at fdName (an open file's /proc/self/fd/N) may be
// read; shown names it in the refusal. Files that are none of the three
// pass.
Status checkContainer(const QString &shown, const QString &fdName);

#endif
