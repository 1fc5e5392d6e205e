#include "world/tablefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

const qint64 countBytes = 4;
const qint64 elementBytes = 4;

qint64 plainWrite(QIODevice &device, const QByteArray &bytes)
{
    return device.write(bytes);
}

DeviceWrite deviceWrite = plainWrite;

template <typename T> T fromBigEndianBits(const uchar *p)
{
    const quint32 bits = qFromBigEndian<quint32>(p);
    T value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

template <typename T> TableRead decodeTable(const QByteArray &bytes, QVector<T> &table)
{
    static_assert(sizeof(T) == elementBytes, "table elements are 32 bits");
    TableRead read;
    read.bytes = bytes.size();
    table.clear();
    if (read.bytes < countBytes) {
        read.status = TableRead::NoCount;
        return read;
    }
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    read.declared = qFromBigEndian<quint32>(data);
    const qint64 available = (read.bytes - countBytes) / elementBytes;
    read.held = std::min<qint64>(read.declared, available);
    table.resize(int(std::min<qint64>(read.held, std::numeric_limits<int>::max())));
    read.held = table.size();
    T *out = table.data();
    for (qint64 i = 0; i < read.held; ++i)
        out[i] = fromBigEndianBits<T>(data + countBytes + i * elementBytes);
    if (read.held < qint64(read.declared))
        read.status = TableRead::Truncated;
    return read;
}

template <typename T> TableRead readTable(const QString &path, QVector<T> &table)
{
    table.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        TableRead read;
        read.status = file.exists() ? TableRead::Unreadable : TableRead::Missing;
        read.reason = file.errorString();
        return read;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        TableRead read;
        read.status = TableRead::Unreadable;
        read.reason = file.errorString();
        return read;
    }
    return decodeTable(bytes, table);
}

template <typename T> QByteArray encodeTable(const QVector<T> &table)
{
    QByteArray bytes(int(countBytes + elementBytes * table.size()), Qt::Uninitialized);
    auto *out = reinterpret_cast<uchar *>(bytes.data());
    qToBigEndian<quint32>(quint32(table.size()), out);
    for (int i = 0; i < table.size(); ++i) {
        quint32 bits;
        std::memcpy(&bits, &table[i], sizeof bits);
        qToBigEndian<quint32>(bits, out + countBytes + i * elementBytes);
    }
    return bytes;
}

// A short write that the device did not call an error has no reason of its
// own, and "Unknown error" would tell the user nothing.
QString whyNotWritten(const QFileDevice &file, qint64 count, const QByteArray &bytes)
{
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    return QStringLiteral("only %1 of %2 bytes written")
        .arg(qMax<qint64>(count, 0))
        .arg(bytes.size());
}

} // namespace

TableRead decodeIntTable(const QByteArray &bytes, QVector<int> &table)
{
    return decodeTable(bytes, table);
}

TableRead decodeFloatTable(const QByteArray &bytes, QVector<float> &table)
{
    return decodeTable(bytes, table);
}

TableRead readIntTable(const QString &path, QVector<int> &table)
{
    return readTable(path, table);
}

TableRead readFloatTable(const QString &path, QVector<float> &table)
{
    return readTable(path, table);
}

QString describeTableRead(const QString &file, const TableRead &read)
{
    switch (read.status) {
    case TableRead::Ok:
        return QString();
    case TableRead::Missing:
        return QStringLiteral("%1: missing (%2)").arg(file, read.reason);
    case TableRead::Unreadable:
        return QStringLiteral("%1: cannot be read (%2)").arg(file, read.reason);
    case TableRead::NoCount:
        return QStringLiteral("%1: %2 bytes long, too short to hold its element count")
            .arg(file)
            .arg(read.bytes);
    case TableRead::Truncated:
        return QStringLiteral("%1: declares %2 elements but holds only %3 (%4 bytes)")
            .arg(file)
            .arg(read.declared)
            .arg(read.held)
            .arg(read.bytes);
    }
    return QString();
}

QByteArray encodeIntTable(const QVector<int> &table)
{
    return encodeTable(table);
}

QByteArray encodeFloatTable(const QVector<float> &table)
{
    return encodeTable(table);
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    const qint64 count = file.open(QIODevice::WriteOnly) ? deviceWrite(file, bytes) : -1;
    // Qt 5.15's commit() does not notice when its own final flush fails: it
    // renames the short temporary file over the old one and reports success,
    // which on a full disk left an empty save.dat. Flushing first catches it.
    const bool written = count == bytes.size() && file.flush() && file.commit();
    if (!written && error)
        *error =
            QStringLiteral("%1: not written (%2)").arg(path, whyNotWritten(file, count, bytes));
    return written;
}

void setDeviceWrite(DeviceWrite write)
{
    deviceWrite = write ? write : plainWrite;
}
