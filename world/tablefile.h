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

struct TableRead
{
    enum Outcome {
        Ok,         // the file holds all N elements (trailing bytes are ignored)
        Missing,    // the file does not exist
        Unreadable, // it exists but cannot be opened or read
        NoCount,    // fewer than 4 bytes: not even the count is there
        Truncated   // fewer than N whole elements
    };
    Outcome status = Ok;
    quint32 declared = 0; // N as the file states it
    qint64 held = 0;      // whole elements present, at most N
    qint64 bytes = 0;     // size of what was read
    QString reason;       // the file system's words for Missing and Unreadable

    bool ok() const { return status == Ok; }
};

// Decodes a table from raw file bytes. The table receives the elements that
// are present, at most N of them: on success exactly N.
TableRead decodeIntTable(const QByteArray &bytes, QVector<int> &table);
TableRead decodeFloatTable(const QByteArray &bytes, QVector<float> &table);

// Reads a whole table file, which must be a regular file (regularfile.h:
// a FIFO, a device or, unless link says otherwise, a symbolic link is
// Unreadable), no further than the size it has when opened, and no further
// than maxCount elements: the rest of a longer table is left unread, like
// bytes after its last element, and the table holds maxCount elements while
// declared tells what the file claims. A sparse file's size costs nothing
// to fake, so only the caller's own bound (the world header's counts) keeps
// a lying count from claiming gigabytes. On any failure the table holds what could be decoded
// (possibly nothing); callers must check the result before use.
const qint64 anyCount = 0x7fffffff;
TableRead readIntTable(const QString &path, QVector<int> &table, NameLink link = NameLink::Refused,
                       qint64 maxCount = anyCount);
TableRead readFloatTable(const QString &path, QVector<float> &table,
                         NameLink link = NameLink::Refused, qint64 maxCount = anyCount);

// One line for a failed read, naming the file: "base004.dat: declares 3
// elements but holds only 2 (12 bytes)". Empty for a successful read.
QString describeTableRead(const QString &file, const TableRead &read);

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
