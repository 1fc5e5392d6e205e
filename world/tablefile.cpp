#include "world/tablefile.h"

#include "world/filenames.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

const qint64 countBytes = 4;
const qint64 elementBytes = 4;

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

TableRead failedOpen(const FileOpen &opened)
{
    TableRead read;
    read.status = opened.missing ? TableRead::Missing : TableRead::Unreadable;
    read.reason = opened.reason;
    return read;
}

TableRead unreadable(const QFile &file)
{
    TableRead read;
    read.status = TableRead::Unreadable;
    read.reason = file.errorString();
    return read;
}

// Turns whole big-endian elements to host order where they lie. SSE2 (every
// x86-64, always little-endian) swaps four at a time: the compiler does not
// vectorise a byte swap without SSSE3, and the scalar loop costs more than
// half as much as reading the file.
void swapToHost(uchar *bytes, qint64 elements)
{
    qint64 i = 0;
#ifdef __SSE2__
    for (; i + 4 <= elements; i += 4) {
        auto *p = reinterpret_cast<__m128i *>(bytes + i * elementBytes);
        __m128i v = _mm_loadu_si128(p);
        v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);  // swap the 16-bit halves
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8)); // then the bytes in each
        _mm_storeu_si128(p, v);
    }
#endif
    for (; i < elements; ++i) {
        uchar *p = bytes + i * elementBytes;
        qToUnaligned(qFromBigEndian<quint32>(p), p);
    }
}

// Reads the elements straight into the table, a chunk at a time, each chunk
// turned to host order while it is still in cache: no copy of the whole file
// and no second pass over it. Returns the bytes read, or -1 on an error.
qint64 readElements(QFile &file, uchar *out, qint64 wanted)
{
    const qint64 chunkBytes = 256 * 1024;
    qint64 done = 0;
    while (done < wanted) {
        const qint64 got =
            file.read(reinterpret_cast<char *>(out + done), std::min(chunkBytes, wanted - done));
        if (got < 0)
            return -1;
        swapToHost(out + done, got / elementBytes);
        done += got;
        if (got % elementBytes != 0 || got == 0)
            break;
    }
    return done;
}

// The table is sized once, from the count and fstat's size, and never larger
// than what the file holds or the caller expects.
template <typename T> TableRead readOpenFile(QFile &file, QVector<T> &table, qint64 maxCount)
{
    TableRead read;
    read.bytes = file.size();
    // Files of /proc claim no size: they are as empty as they say.
    if (read.bytes < countBytes) {
        read.status = TableRead::NoCount;
        return read;
    }
    uchar count[countBytes];
    const qint64 got = file.read(reinterpret_cast<char *>(count), countBytes);
    if (got < 0)
        return unreadable(file);
    if (got < countBytes) {
        read.bytes = got;
        read.status = TableRead::NoCount;
        return read;
    }
    read.declared = qFromBigEndian<quint32>(count);
    const qint64 available = (read.bytes - countBytes) / elementBytes;
    read.held = std::min<qint64>(read.declared, available);
    const qint64 wanted =
        std::min<qint64>({read.held, maxCount, qint64(std::numeric_limits<int>::max())});
    table.resize(int(wanted));
    const qint64 done =
        readElements(file, reinterpret_cast<uchar *>(table.data()), table.size() * elementBytes);
    if (done < 0) {
        table.clear();
        return unreadable(file);
    }
    table.resize(int(done / elementBytes));
    // A file that shrank after fstat holds only what was read.
    if (table.size() < wanted)
        read.held = table.size();
    if (read.held < qint64(read.declared))
        read.status = TableRead::Truncated;
    return read;
}

template <typename T>
TableRead readTable(const QString &path, QVector<T> &table, NameLink link, qint64 maxCount)
{
    table.clear();
    QFile file;
    const FileOpen opened = openRegularFile(path, link, file);
    if (!opened.ok)
        return failedOpen(opened);
    return readOpenFile(file, table, maxCount);
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

} // namespace

TableRead decodeIntTable(const QByteArray &bytes, QVector<int> &table)
{
    return decodeTable(bytes, table);
}

TableRead decodeFloatTable(const QByteArray &bytes, QVector<float> &table)
{
    return decodeTable(bytes, table);
}

TableRead readIntTable(const QString &path, QVector<int> &table, NameLink link, qint64 maxCount)
{
    return readTable(path, table, link, maxCount);
}

TableRead readFloatTable(const QString &path, QVector<float> &table, NameLink link, qint64 maxCount)
{
    return readTable(path, table, link, maxCount);
}

QString describeTableRead(const QString &name, const TableRead &read)
{
    const QString file = shownName(name);
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
