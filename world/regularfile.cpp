#include "world/regularfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

QString notRegular(const QString &what)
{
    return QStringLiteral("%1, not a regular file").arg(what);
}

QString typeProblem(mode_t mode)
{
    return S_ISREG(mode) ? QString() : notRegular(fileTypeName(mode));
}

} // namespace

QString fileTypeName(unsigned mode)
{
    static const struct
    {
        mode_t type;
        const char *name;
    } types[] = {{S_IFDIR, "a folder"},           {S_IFIFO, "a FIFO"},
                 {S_IFCHR, "a character device"}, {S_IFBLK, "a block device"},
                 {S_IFSOCK, "a socket"},          {S_IFLNK, "a symbolic link"}};
    if (S_ISREG(mode))
        return QString();
    for (const auto &type : types) {
        if ((mode & S_IFMT) == type.type)
            return QLatin1String(type.name);
    }
    return QStringLiteral("not a file");
}

FileOpen openRegularFile(const QString &path, NameLink link, QFile &file)
{
    FileOpen result;
    QString reason;
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    if (link == NameLink::Refused)
        flags |= O_NOFOLLOW;
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0) {
        result.missing = errno == ENOENT;
        // O_NOFOLLOW's refusal reads "Too many levels of symbolic links".
        result.status = Status::refused(path, errno == ELOOP && link == NameLink::Refused
                                                  ? notRegular(QStringLiteral("a symbolic link"))
                                                  : QString::fromLocal8Bit(std::strerror(errno)));
        return result;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0)
        reason = QString::fromLocal8Bit(std::strerror(errno));
    else
        reason = typeProblem(info.st_mode);
    if (!reason.isEmpty() ||
        !file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        if (reason.isEmpty())
            reason = file.errorString();
        ::close(fd);
        result.status = Status::refused(path, reason);
        return result;
    }
    result.size = info.st_size;
    result.mode = int(info.st_mode & 0777);
    return result;
}

FileOpen readRegularFile(const QString &path, NameLink link, qint64 maxBytes, QByteArray *bytes)
{
    QFile file;
    FileOpen result = openRegularFile(path, link, file);
    if (!result.ok())
        return result;
    const qint64 wanted = std::min(file.size(), maxBytes);
    *bytes = file.read(wanted);
    if (file.error() != QFileDevice::NoError)
        result.status = Status::refused(path, file.errorString());
    return result;
}
