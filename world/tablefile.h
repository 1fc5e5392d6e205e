// Table files: the on-disk form of every world table and of "save.dat".
//
// A table file is a 32-bit big-endian element count N followed by N
// big-endian 32-bit elements (two's complement integers or IEEE 754 binary32
// floats). It is the layout Qt's QDataStream gives a QVector with big-endian
// byte order and single-precision floats; nothing else is in the file.
//
// The reader is our own rather than QDataStream's because it must never trust
// the count: it allocates only for elements the file really holds, so a count
// of 0xFFFFFFFF in a 12-byte file costs nothing, and it reports a file shorter
// than its count instead of silently padding it.
#ifndef TABLEFILE_H
#define TABLEFILE_H

#include "world/atomicwrite.h"
#include "world/regularfile.h"
#include "world/status.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// What a table file states its count to be, beside the Status of reading it:
// refused in one line naming the file, "base004.dat: declares 3 elements but
// holds only 2 (12 bytes)", "save.dat: missing (No such file or directory)".
// A file that holds all N elements is read (trailing bytes are ignored).
struct TableRead
{
    Status status;
    quint32 declared = 0; // N as the file states it
    bool missing = false; // nothing at all has the name

    bool ok() const { return status.ok(); }
};

// Decodes a table from raw file bytes, refusals naming name. The table
// receives the elements that are present, at most N of them: on success
// exactly N.
TableRead decodeIntTable(const QString &name, const QByteArray &bytes, QVector<int> &table);
TableRead decodeFloatTable(const QString &name, const QByteArray &bytes, QVector<float> &table);

// Reads a whole table file, which must be a regular file (regularfile.h:
// a FIFO, a device or, unless link says otherwise, a symbolic link cannot be
// read), no further than the size it has when opened, and no further
// than maxCount elements: the rest of a longer table is left unread, like
// bytes after its last element, and the table holds maxCount elements while
// declared tells what the file claims. A sparse file's size costs nothing
// to fake, so only the caller's own bound (the world header's counts) keeps
// a lying count from claiming gigabytes. Refusals name shownAs, or path when
// it is empty. On any failure the table holds what could be decoded
// (possibly nothing); callers must check the result before use.
const qint64 anyCount = 0x7fffffff;
TableRead readIntTable(const QString &path, QVector<int> &table, NameLink link = NameLink::Refused,
                       qint64 maxCount = anyCount, const QString &shownAs = QString());
TableRead readFloatTable(const QString &path, QVector<float> &table,
                         NameLink link = NameLink::Refused, qint64 maxCount = anyCount,
                         const QString &shownAs = QString());

QByteArray encodeIntTable(const QVector<int> &table);
QByteArray encodeFloatTable(const QVector<float> &table);

inline Status writeIntTable(const QString &path, const QVector<int> &table)
{
    return writeFileAtomically(path, encodeIntTable(table));
}
inline Status writeFloatTable(const QString &path, const QVector<float> &table)
{
    return writeFileAtomically(path, encodeFloatTable(table));
}

#endif
