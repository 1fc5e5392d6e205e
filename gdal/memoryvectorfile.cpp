#include "gdal/memoryvectorfile.h"

#include <QFileInfo>

#include <cpl_error.h>
#include <cpl_vsi.h>

#include <atomic>

MemoryVectorFile::~MemoryVectorFile()
{
    open.reset();
    if (memName.isEmpty())
        return;
    for (const char *suffix : {"", "-journal", "-wal", "-shm"})
        VSIUnlink((memName + suffix).constData());
}

Status MemoryVectorFile::failure(const QString &what) const
{
    const QString error = GdalSession::lastError();
    return Status::notWritten(path, error.isEmpty() ? what : what + QStringLiteral(": ") + error);
}

Status MemoryVectorFile::create(const char *driver)
{
    GDALDriverH found = GDALGetDriverByName(driver);
    if (!found)
        return Status::notWritten(
            path, QStringLiteral("GDAL has no %1 driver").arg(QLatin1String(driver)));
    // A number of our own: two files made at once must not share memory.
    static std::atomic<int> serial(0);
    const QString extension = QFileInfo(path).suffix().toLower();
    memName = QByteArray("/vsimem/globe-vector-") + QByteArray::number(++serial) + '.' +
              extension.toLatin1();
    CPLErrorReset();
    open.reset(GDALCreate(found, memName.constData(), 0, 0, 0, GDT_Unknown, nullptr));
    return open ? Status() : failure(QStringLiteral("GDAL cannot create it"));
}

Status MemoryVectorFile::finish(QByteArray *bytes)
{
    CPLErrorReset();
    open.reset();
    if (CPLGetLastErrorType() >= CE_Failure)
        return failure(QStringLiteral("GDAL cannot finish it"));
    vsi_l_offset length = 0;
    GByte *data = VSIGetMemFileBuffer(memName.constData(), &length, FALSE);
    if (!data)
        return failure(QStringLiteral("GDAL wrote nothing"));
    *bytes = QByteArray(reinterpret_cast<const char *>(data), int(length));
    return Status();
}
