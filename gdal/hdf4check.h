// An HDF4 file's external elements, found apart from the netCDF and HDF5
// checks because HDF4's headers define names netCDF's do too.
#ifndef HDF4CHECK_H
#define HDF4CHECK_H

#include <QByteArray>
#include <QString>

// Empty unless the HDF4 file at name keeps an element in another file (or
// cannot be read as HDF4); then why, for "NAME: reason".
QString hdf4Problem(const QByteArray &name);

#endif
