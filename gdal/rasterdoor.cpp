#include "gdal/rasterdoor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cpl_string.h>
#include <cpl_vsi.h>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <limits>
#include <map>
#include <mutex>
#include <string>

namespace {

const char *const doorPrefix = "/vsiguard/";
// A folder of more files than this gives GDAL no side file at all.
const int maxSiblings = 10000;

struct Door
{
    int fileFd = -1;
    int folderFd = -1;
    std::string file;   // absolute, as typed
    std::string folder; // absolute, ending in '/'
    int refs = 0;
};

// GDAL calls the handler from any thread.
std::mutex doorsMutex;
std::map<int, Door> doors;
std::multimap<void *, int> keptFor;
int nextId = 1;

void release(int id)
{
    const auto found = doors.find(id);
    if (found == doors.end() || --found->second.refs > 0)
        return;
    ::close(found->second.fileFd);
    ::close(found->second.folderFd);
    doors.erase(found);
}

// Opens name beneath the folder, never through a link, never blocking.
int openBeneath(int folderFd, const std::string &relative)
{
    open_how how{};
    how.flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    return int(::syscall(SYS_openat2, folderFd, relative.c_str(), &how, sizeof how));
}

bool isRegular(int fd, struct stat *status)
{
    return ::fstat(fd, status) == 0 && S_ISREG(status->st_mode);
}

struct Handle
{
    int id;
    int fd;
    bool own; // a side file's, closed with the handle
    off_t size;
    off_t at = 0;
    bool eof = false;
};

// The door's id and the rest of a /vsiguard/ID/PATH name, which GDAL
// passes without its prefix.
bool parse(const char *name, int *id, std::string *path)
{
    const size_t prefix = std::strlen(doorPrefix);
    if (std::strncmp(name, doorPrefix, prefix) == 0)
        name += prefix;
    if (*name < '0' || *name > '9')
        return false;
    char *end = nullptr;
    *id = int(std::strtol(name, &end, 10));
    if (!end || *end != '/')
        return false;
    *path = end;
    return true;
}

// What a name under /vsiguard/ reaches: fd -1 when nothing may be opened;
// the caller closes fd only when own (a side file's).
struct Found
{
    int id = 0;
    int fd = -1;
    bool own = false;
    struct stat status = {};
};

Found resolve(const char *name)
{
    Found found;
    std::string path;
    if (!parse(name, &found.id, &path))
        return found;
    const auto door = doors.find(found.id);
    if (door == doors.end())
        return found;
    if (path == door->second.file) {
        found.fd = isRegular(door->second.fileFd, &found.status) ? door->second.fileFd : -1;
        return found;
    }
    const std::string &folder = door->second.folder;
    if (path.compare(0, folder.size(), folder) != 0)
        return found;
    found.fd = openBeneath(door->second.folderFd, path.substr(folder.size()));
    found.own = true;
    if (found.fd >= 0 && !isRegular(found.fd, &found.status)) {
        ::close(found.fd);
        found.fd = -1;
    }
    return found;
}

void *doorOpen(void *, const char *name, const char *access)
{
    if (std::strpbrk(access, "wa+"))
        return nullptr;
    const std::lock_guard<std::mutex> lock(doorsMutex);
    const Found found = resolve(name);
    if (found.fd < 0)
        return nullptr;
    ++doors[found.id].refs;
    return new Handle{found.id, found.fd, found.own, found.status.st_size};
}

int doorStat(void *, const char *name, VSIStatBufL *buffer, int)
{
    const std::lock_guard<std::mutex> lock(doorsMutex);
    const Found found = resolve(name);
    if (found.fd < 0)
        return -1;
    if (found.own)
        ::close(found.fd);
    std::memset(buffer, 0, sizeof *buffer);
    buffer->st_mode = found.status.st_mode;
    buffer->st_size = found.status.st_size;
    buffer->st_mtime = found.status.st_mtime;
    return 0;
}

// Only the regular files directly in the raster's own folder, so that GDAL
// probes no name that is not one.
char **doorSiblings(void *, const char *folderName)
{
    const std::lock_guard<std::mutex> lock(doorsMutex);
    int id = 0;
    std::string path;
    if (!parse(folderName, &id, &path))
        return nullptr;
    const auto found = doors.find(id);
    if (found == doors.end() || path + '/' != found->second.folder)
        return static_cast<char **>(CPLCalloc(1, sizeof(char *)));
    const int listed = ::openat(found->second.folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *folder = listed >= 0 ? ::fdopendir(listed) : nullptr;
    CPLStringList names;
    int seen = 0;
    while (folder && seen <= maxSiblings) {
        const dirent *entry = ::readdir(folder);
        if (!entry)
            break;
        struct stat status;
        if (++seen <= maxSiblings &&
            ::fstatat(listed, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode))
            names.AddString(entry->d_name);
    }
    if (folder)
        ::closedir(folder);
    else if (listed >= 0)
        ::close(listed);
    if (seen > maxSiblings)
        names.Clear();
    char **list = names.StealList();
    return list ? list : static_cast<char **>(CPLCalloc(1, sizeof(char *)));
}

char **doorReadDir(void *, const char *, int)
{
    return nullptr;
}

Handle *handleOf(void *file)
{
    return static_cast<Handle *>(file);
}

vsi_l_offset doorTell(void *file)
{
    return vsi_l_offset(handleOf(file)->at);
}

int doorSeek(void *file, vsi_l_offset offset, int whence)
{
    Handle *handle = handleOf(file);
    const vsi_l_offset base = whence == SEEK_CUR   ? vsi_l_offset(handle->at)
                              : whence == SEEK_END ? vsi_l_offset(handle->size)
                                                   : 0;
    const vsi_l_offset to = base + offset;
    if (to > vsi_l_offset(std::numeric_limits<off_t>::max()))
        return -1;
    handle->at = off_t(to);
    handle->eof = false;
    return 0;
}

size_t doorRead(void *file, void *buffer, size_t size, size_t count)
{
    Handle *handle = handleOf(file);
    if (size == 0 || count == 0)
        return 0;
    const size_t wanted = size * count;
    size_t done = 0;
    while (done < wanted) {
        const ssize_t got =
            ::pread(handle->fd, static_cast<char *>(buffer) + done, wanted - done, handle->at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += size_t(got);
        handle->at += got;
    }
    if (done < wanted)
        handle->eof = true;
    return done / size;
}

int doorEof(void *file)
{
    return handleOf(file)->eof;
}

int doorClose(void *file)
{
    Handle *handle = handleOf(file);
    {
        const std::lock_guard<std::mutex> lock(doorsMutex);
        if (handle->own)
            ::close(handle->fd);
        release(handle->id);
    }
    delete handle;
    return 0;
}

void installDoorHandler()
{
    static const bool installed = [] {
        VSIFilesystemPluginCallbacksStruct *callbacks = VSIAllocFilesystemPluginCallbacksStruct();
        callbacks->open = doorOpen;
        callbacks->stat = doorStat;
        callbacks->read_dir = doorReadDir;
        callbacks->sibling_files = doorSiblings;
        callbacks->tell = doorTell;
        callbacks->seek = doorSeek;
        callbacks->read = doorRead;
        callbacks->eof = doorEof;
        callbacks->close = doorClose;
        VSIInstallPluginHandler(doorPrefix, callbacks);
        VSIFreeFilesystemPluginCallbacksStruct(callbacks);
        return true;
    }();
    (void)installed;
}

} // namespace

RasterDoor::~RasterDoor()
{
    const std::lock_guard<std::mutex> lock(doorsMutex);
    release(id);
}

Status RasterDoor::open(const QString &path)
{
    installDoorHandler();
    typed = path;
    const QFileInfo info(path);
    const QByteArray file = QFile::encodeName(info.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const int fileFd = ::open(file.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fileFd < 0)
        return Status::refused(path, errno == ENOENT
                                         ? QStringLiteral("no such file")
                                         : QString::fromLocal8Bit(std::strerror(errno)));
    struct stat status;
    const int folderFd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (!isRegular(fileFd, &status) || folderFd < 0) {
        const bool regular = S_ISREG(status.st_mode);
        ::close(fileFd);
        if (folderFd >= 0)
            ::close(folderFd);
        return Status::refused(path, regular ? QStringLiteral("its folder cannot be opened")
                                     : S_ISFIFO(status.st_mode)
                                         ? QStringLiteral("a FIFO, not a regular file")
                                         : QStringLiteral("not a regular file"));
    }
    const std::lock_guard<std::mutex> lock(doorsMutex);
    id = nextId++;
    Door &door = doors[id];
    door.fileFd = fileFd;
    door.folderFd = folderFd;
    door.file = file.toStdString();
    door.folder = (folder == "/" ? std::string() : folder.toStdString()) + '/';
    door.refs = 1;
    return Status();
}

QString RasterDoor::gdalName() const
{
    return gdalNameOf(file());
}

QString RasterDoor::gdalNameOf(const QString &absolute) const
{
    return QLatin1String(doorPrefix) + QString::number(id) + absolute;
}

QString RasterDoor::file() const
{
    const std::lock_guard<std::mutex> lock(doorsMutex);
    return QFile::decodeName(QByteArray::fromStdString(doors.at(id).file));
}

QString RasterDoor::fdName() const
{
    return QStringLiteral("/proc/self/fd/%1").arg(fd());
}

int RasterDoor::fd() const
{
    const std::lock_guard<std::mutex> lock(doorsMutex);
    return doors.at(id).fileFd;
}

QString RasterDoor::folder() const
{
    const std::lock_guard<std::mutex> lock(doorsMutex);
    return QFile::decodeName(QByteArray::fromStdString(doors.at(id).folder));
}

QString RasterDoor::shown(const QString &gdalText) const
{
    QString text = gdalText;
    text.replace(gdalName(), typed);
    text.replace(fdName(), typed);
    return text;
}

void RasterDoor::keepOpenFor(void *dataset)
{
    const std::lock_guard<std::mutex> lock(doorsMutex);
    ++doors.at(id).refs;
    keptFor.emplace(dataset, id);
}

void releaseRasterDoors(void *dataset)
{
    const std::lock_guard<std::mutex> lock(doorsMutex);
    const auto range = keptFor.equal_range(dataset);
    for (auto it = range.first; it != range.second; ++it)
        release(it->second);
    keptFor.erase(range.first, range.second);
}
