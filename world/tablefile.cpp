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

TableRead missing(const QString &name, const QString &why)
{
    TableRead read{Status::refused(name, QStringLiteral("missing (%1)").arg(why))};
    read.missing = true;
    return read;
}

TableRead unreadable(const QString &name, const QString &why)
{
    return {Status::refused(name, QStringLiteral("cannot be read (%1)").arg(why))};
}

TableRead noCount(const QString &name, qint64 bytes)
{
    return {Status::refused(
        name, QStringLiteral("%1 bytes long, too short to hold its element count").arg(bytes))};
}

// Whole only when held reaches the count the file declares.
TableRead counted(const QString &name, quint32 declared, qint64 held, qint64 bytes)
{
    TableRead read;
    read.declared = declared;
    if (held < qint64(declared))
        read.status = Status::refused(
            name, QStringLiteral("declares %1 elements but holds only %2 (%3 bytes)")
                      .arg(declared)
                      .arg(held)
                      .arg(bytes));
    return read;
}

template <typename T>
TableRead decodeTable(const QString &name, const QByteArray &bytes, QVector<T> &table)
{
    static_assert(sizeof(T) == elementBytes, "table elements are 32 bits");
    table.clear();
    if (bytes.size() < countBytes)
        return noCount(name, bytes.size());
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const quint32 declared = qFromBigEndian<quint32>(data);
    const qint64 available = (bytes.size() - countBytes) / elementBytes;
    const qint64 held = std::min<qint64>(declared, available);
    table.resize(int(std::min<qint64>(held, std::numeric_limits<int>::max())));
    T *out = table.data();
    for (qint64 i = 0; i < table.size(); ++i)
        out[i] = fromBigEndianBits<T>(data + countBytes + i * elementBytes);
    return counted(name, declared, table.size(), bytes.size());
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
template <typename T>
TableRead readOpenFile(const QString &name, QFile &file, QVector<T> &table, qint64 maxCount)
{
    const qint64 bytes = file.size();
    // Files of /proc claim no size: they are as empty as they say.
    if (bytes < countBytes)
        return noCount(name, bytes);
    uchar count[countBytes];
    const qint64 got = file.read(reinterpret_cast<char *>(count), countBytes);
    if (got < 0)
        return unreadable(name, file.errorString());
    if (got < countBytes)
        return noCount(name, got);
    const quint32 declared = qFromBigEndian<quint32>(count);
    const qint64 available = (bytes - countBytes) / elementBytes;
    qint64 held = std::min<qint64>(declared, available);
    const qint64 wanted =
        std::min<qint64>({held, maxCount, qint64(std::numeric_limits<int>::max())});
    table.resize(int(wanted));
    const qint64 done =
        readElements(file, reinterpret_cast<uchar *>(table.data()), table.size() * elementBytes);
    if (done < 0) {
        table.clear();
        return unreadable(name, file.errorString());
    }
    table.resize(int(done / elementBytes));
    // A file that shrank after fstat holds only what was read.
    if (table.size() < wanted)
        held = table.size();
    return counted(name, declared, held, bytes);
}

template <typename T>
TableRead readTable(const QString &path, QVector<T> &table, NameLink link, qint64 maxCount,
                    const QString &shownAs)
{
    table.clear();
    const QString name = shownAs.isEmpty() ? path : shownAs;
    QFile file;
    const FileOpen opened = openRegularFile(path, link, file);
    if (!opened.ok())
        return opened.missing ? missing(name, opened.status.reason())
                              : unreadable(name, opened.status.reason());
    return readOpenFile(name, file, table, maxCount);
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

TableRead decodeIntTable(const QString &name, const QByteArray &bytes, QVector<int> &table)
{
    return decodeTable(name, bytes, table);
}

TableRead decodeFloatTable(const QString &name, const QByteArray &bytes, QVector<float> &table)
{
    return decodeTable(name, bytes, table);
}

TableRead readIntTable(const QString &path, QVector<int> &table, NameLink link, qint64 maxCount,
                       const QString &shownAs)
{
    return readTable(path, table, link, maxCount, shownAs);
}

TableRead readFloatTable(const QString &path, QVector<float> &table, NameLink link, qint64 maxCount,
                         const QString &shownAs)
{
    return readTable(path, table, link, maxCount, shownAs);
}

QByteArray encodeIntTable(const QVector<int> &table)
{
    return encodeTable(table);
}

QByteArray encodeFloatTable(const QVector<float> &table)
{
    return encodeTable(table);
}
