// Opening a file for reading only when it is a regular file.
//
// Folders from strangers may hold a FIFO (a read blocks for ever), a device
// (/dev/zero never ends) or a link to a file elsewhere under a world file's
// name. The open never blocks (O_NONBLOCK), the file's type and size come
// from fstat on what was opened, and anything but a regular file is refused
// in one line. A read never goes past the size fstat gave.
//
// Links: a name the programs find for themselves (a world's tables,
// demo.txt, save.dat) is never followed when it is a symbolic link, since
// no one chose where it points; a name the user typed (--levels FILE) is,
// since they did. Folders on the way are followed either way.
#ifndef REGULARFILE_H
#define REGULARFILE_H

#include "world/status.h"

#include <QByteArray>
#include <QFile>
#include <QString>

enum class NameLink { Refused, Followed };

// An opened file's facts, beside the Status of opening it: refused as
// "NAME: REASON", the reason (Status::reason) in the system's words or ours,
// "a FIFO, not a regular file".
struct FileOpen
{
    Status status;
    bool missing = false; // nothing at all has the name
    qint64 size = 0;      // fstat's, once open
    int mode = 0;         // its permission bits, once open

    bool ok() const { return status.ok(); }
};

// What a file of this st_mode is when it is not a regular file: "a FIFO",
// "a character device", "a symbolic link"...; empty for a regular file.
QString fileTypeName(unsigned mode);

// Opens path read-only and unbuffered into file (which takes over the
// descriptor); file.size() is then fstat's size.
FileOpen openRegularFile(const QString &path, NameLink link, QFile &file);

// The first maxBytes bytes (at most) of the regular file at path; size says
// whether that was all of it.
FileOpen readRegularFile(const QString &path, NameLink link, qint64 maxBytes, QByteArray *bytes);

#endif
