#include "world/tablefile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

const char *const partialSuffix = ".partial";

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

TableRead failedOpen(const QFile &file)
{
    TableRead read;
    read.status = file.exists() ? TableRead::Unreadable : TableRead::Missing;
    read.reason = file.errorString();
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

// A file that says its size up front gets its table sized once, from the
// count and the size, and never larger than what the file holds.
template <typename T> TableRead readRegularFile(QFile &file, QVector<T> &table)
{
    uchar count[countBytes];
    const qint64 got = file.read(reinterpret_cast<char *>(count), countBytes);
    if (got < 0)
        return unreadable(file);
    TableRead read;
    read.bytes = file.size();
    if (got < countBytes) {
        read.bytes = got;
        read.status = TableRead::NoCount;
        return read;
    }
    read.declared = qFromBigEndian<quint32>(count);
    const qint64 available = (read.bytes - countBytes) / elementBytes;
    table.resize(int(std::min<qint64>(
        {qint64(read.declared), available, qint64(std::numeric_limits<int>::max())})));
    const qint64 done =
        readElements(file, reinterpret_cast<uchar *>(table.data()), table.size() * elementBytes);
    if (done < 0) {
        table.clear();
        return unreadable(file);
    }
    table.resize(int(done / elementBytes));
    read.held = table.size();
    if (read.held < qint64(read.declared))
        read.status = TableRead::Truncated;
    return read;
}

template <typename T> TableRead readTable(const QString &path, QVector<T> &table)
{
    table.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return failedOpen(file);
    // Pipes, and files such as those of /proc that claim no size, are read
    // whole and decoded instead.
    if (!file.isSequential() && file.size() >= countBytes)
        return readRegularFile(file, table);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return unreadable(file);
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

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The rename is only durable once the folder that holds the name is synced.
// A file system that cannot sync a folder at all (EINVAL) has nothing more to
// give; any other failure is a real one.
bool syncFolderOf(const QString &path, QString *reason)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && (::fsync(fd) == 0 || errno == EINVAL);
    if (!synced)
        *reason = QStringLiteral("its folder could not be synced (%1)").arg(systemError());
    if (fd >= 0)
        ::close(fd);
    return synced;
}

// The bytes go to path + partialSuffix, are flushed and synced, and only then
// renamed over path. The name is fixed, so a save killed half-way leaves at
// most that one file, which the next save takes over; the lock tells a file
// a killed writer left from one another writer is filling right now.
bool writeDurably(const QString &path, const QByteArray &bytes, QString *reason)
{
    const QString partial = path + QLatin1String(partialSuffix);
    QFile file(partial);
    // ReadWrite: WriteOnly would truncate a file another writer holds.
    if (!file.open(QIODevice::ReadWrite)) {
        *reason = file.errorString();
        return false;
    }
    if (::flock(file.handle(), LOCK_EX | LOCK_NB) != 0) {
        *reason = errno == EWOULDBLOCK ? QStringLiteral("another program is writing it now")
                                       : systemError();
        return false;
    }
    qint64 count = -1;
    bool written =
        file.resize(0) && (count = deviceWrite(file, bytes)) == bytes.size() && file.flush();
    if (!written)
        *reason = whyNotWritten(file, count, bytes);
    else if (!(written = ::fsync(file.handle()) == 0))
        *reason = systemError();
    else if (!(written = ::rename(QFile::encodeName(partial).constData(),
                                  QFile::encodeName(path).constData()) == 0))
        *reason = systemError();
    // Not file.remove(): after a failed flush it skips the removal, since
    // close() fails again on the bytes still buffered.
    file.close();
    if (!written)
        QFile::remove(partial);
    return written;
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

Status writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QString reason;
    if (!writeDurably(path, bytes, &reason))
        return Status::notWritten(path, reason);
    if (!syncFolderOf(path, &reason))
        return Status::notDurable(path, reason);
    return Status();
}

void setDeviceWrite(DeviceWrite write)
{
    deviceWrite = write ? write : plainWrite;
}

bool syncFolder(const QString &path, QString *reason)
{
    return syncFolderOf(path, reason);
}
