#include "world/atomicwrite.h"

#include "world/filenames.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

const char *const partialSuffix = ".partial";

namespace {

qint64 plainWrite(QIODevice &device, const QByteArray &bytes)
{
    return device.write(bytes);
}

DeviceWrite deviceWrite = plainWrite;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor &&other) noexcept : fd(other.release()) {}
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    int get() const { return fd; }
    bool valid() const { return fd >= 0; }
    int release() { return std::exchange(fd, -1); }
    void reset(int next = -1)
    {
        if (fd >= 0)
            ::close(fd);
        fd = next;
    }

private:
    int fd;
};

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// FILE.partial, FILE cut so that the random tail still fits in NAME_MAX.
QByteArray temporaryPrefix(const QByteArray &name)
{
    return name.left(200) + partialSuffix;
}

QByteArray randomName(const QByteArray &name)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray out = temporaryPrefix(name) + '-';
    for (int i = 0; i < 8; ++i)
        out += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return out;
}

// What a replaced target hands on to the file that replaces it.
struct Keep
{
    bool regular = false;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

// One file on its way to its target.
struct Staged
{
    QString path; // as the caller named it, for messages
    Descriptor folder;
    QByteArray name; // the target's name in folder
    Keep keep;
    Descriptor file;      // the new file, locked for as long as it is ours
    QByteArray temporary; // its name until the rename; after an exchange, the old file's
    bool existed = false;
    int mode = -1; // FileWrite::mode
    enum { Waiting, Renamed, Exchanged } state = Waiting;
};

bool openFolder(Staged &s, QString *reason)
{
    const QFileInfo info(s.path);
    s.name = QFile::encodeName(info.fileName());
    if (s.name.isEmpty() || s.name == "." || s.name == "..") {
        *reason = QStringLiteral("not a file name");
        return false;
    }
    s.folder.reset(::open(QFile::encodeName(info.absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!s.folder.valid())
        *reason = systemError();
    return s.folder.valid();
}

bool inspectTarget(Staged &s, QString *reason)
{
    struct stat target;
    if (::fstatat(s.folder.get(), s.name.constData(), &target, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return true;
        *reason = systemError();
        return false;
    }
    s.existed = true;
    if (S_ISDIR(target.st_mode)) {
        *reason = QStringLiteral("a folder has its name");
        return false;
    }
    // A link or a device at the target is replaced; only a file's mode is
    // the user's choice for it.
    s.keep.regular = S_ISREG(target.st_mode);
    s.keep.mode = target.st_mode & 0777;
    s.keep.owner = target.st_uid;
    s.keep.group = target.st_gid;
    return true;
}

// A file with no name at all (O_TMPFILE), or, where the file system has
// none, one under a name that did not exist. Locked before anyone could
// look for it, so that a later writer never takes it for a stray.
bool createFile(Staged &s, QString *reason)
{
    const mode_t mode = s.keep.regular || s.mode >= 0 ? 0600 : 0666;
    s.file.reset(::openat(s.folder.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (s.file.valid())
        return ::flock(s.file.get(), LOCK_EX) == 0 || (*reason = systemError(), false);
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        *reason = systemError();
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = randomName(s.name);
        Descriptor fd(::openat(s.folder.get(), name.constData(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!fd.valid() && errno == EEXIST)
            continue;
        if (!fd.valid()) {
            *reason = systemError();
            return false;
        }
        // Between the open and the lock, a writer removing strays may have
        // taken it: then it has no link left, and we try another name.
        struct stat made;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(fd.get(), &made) != 0 ||
            !S_ISREG(made.st_mode) || made.st_nlink != 1)
            continue;
        s.file = std::move(fd);
        s.temporary = name;
        return true;
    }
    *reason = QStringLiteral("no temporary name was free");
    return false;
}

// QFile reports a short write as a count, without the error that cut it
// short; writing the rest once more brings out the system's reason ("No
// space left on device"). A count with no error behind it says only that.
QString whyNotWritten(const QFileDevice &file, int fd, qint64 count, const QByteArray &bytes)
{
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    const qint64 done = qMax<qint64>(count, 0);
    if (::write(fd, bytes.constData() + done, size_t(bytes.size() - done)) < 0)
        return systemError();
    return QStringLiteral("only %1 of %2 bytes written").arg(done).arg(bytes.size());
}

bool fill(Staged &s, const QByteArray &bytes, QString *reason)
{
    QFile file;
    if (!file.open(s.file.get(), QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::DontCloseHandle)) {
        *reason = file.errorString();
        return false;
    }
    const qint64 count = deviceWrite(file, bytes);
    if (count != bytes.size()) {
        *reason = whyNotWritten(file, s.file.get(), count, bytes);
        return false;
    }
    // The owner first: a change of owner clears bits that the mode sets.
    // Where a change of owner is not permitted, the file stays ours.
    if (s.keep.regular && ::fchown(s.file.get(), s.keep.owner, s.keep.group) != 0)
        errno = 0;
    const int mode = s.mode >= 0 ? s.mode : s.keep.regular ? int(s.keep.mode) : -1;
    if (mode >= 0 && ::fchmod(s.file.get(), mode_t(mode) & 0777) != 0) {
        *reason = systemError();
        return false;
    }
    if (::fsync(s.file.get()) != 0) {
        *reason = systemError();
        return false;
    }
    return true;
}

// Gives the nameless file its temporary name. Linking by descriptor needs
// CAP_DAC_READ_SEARCH; through /proc it needs nothing.
bool linkIn(Staged &s, QString *reason)
{
    if (!s.temporary.isEmpty())
        return true;
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(s.file.get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = randomName(s.name);
        int linked = ::linkat(s.file.get(), "", s.folder.get(), name.constData(), AT_EMPTY_PATH);
        if (linked != 0 && (errno == ENOENT || errno == EPERM))
            linked = ::linkat(AT_FDCWD, proc.constData(), s.folder.get(), name.constData(),
                              AT_SYMLINK_FOLLOW);
        if (linked == 0) {
            s.temporary = name;
            return true;
        }
        if (errno != EEXIST) {
            *reason = systemError();
            return false;
        }
    }
    *reason = QStringLiteral("no temporary name was free");
    return false;
}

bool stage(Staged &s, const QByteArray &bytes, QString *reason)
{
    return openFolder(s, reason) && inspectTarget(s, reason) && createFile(s, reason) &&
           fill(s, bytes, reason) && linkIn(s, reason);
}

// With undo wanted, an existing target is exchanged with the new file, so
// that the old one stays at the temporary name until all are in place.
bool replace(Staged &s, bool undoable, QString *reason)
{
    const int folder = s.folder.get();
    if (undoable && s.existed &&
        ::renameat2(folder, s.temporary.constData(), folder, s.name.constData(), RENAME_EXCHANGE) ==
            0) {
        s.state = Staged::Exchanged;
        return true;
    }
    if (::renameat(folder, s.temporary.constData(), folder, s.name.constData()) != 0) {
        *reason = systemError();
        return false;
    }
    s.state = Staged::Renamed;
    s.temporary.clear();
    return true;
}

// Undoes a replacement; false when the old file is gone.
bool putBack(Staged &s)
{
    const int folder = s.folder.get();
    if (s.state == Staged::Exchanged)
        return ::renameat2(folder, s.temporary.constData(), folder, s.name.constData(),
                           RENAME_EXCHANGE) == 0;
    if (s.state != Staged::Renamed)
        return true;
    if (s.existed)
        return false;
    struct stat ours, named;
    if (::fstat(s.file.get(), &ours) == 0 &&
        ::fstatat(folder, s.name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameFile(ours, named))
        ::unlinkat(folder, s.name.constData(), 0);
    return true;
}

// Removes the temporary names still held: new files not renamed, old files
// exchanged out. Only names this writer made.
void dropTemporaries(std::vector<Staged> &staged)
{
    for (Staged &s : staged) {
        if (!s.temporary.isEmpty())
            ::unlinkat(s.folder.get(), s.temporary.constData(), 0);
    }
}

// A temporary file that no live writer holds is a killed writer's.
void removeIfStray(int folder, const QByteArray &name)
{
    struct stat named, held;
    if (::fstatat(folder, name.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(named.st_mode))
        return; // not a file a writer makes: not ours to touch
    const Descriptor fd(::openat(folder, name.constData(),
                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(fd.get(), &held) != 0)
        return;
    if (sameFile(held, named) &&
        ::fstatat(folder, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameFile(held, named))
        ::unlinkat(folder, name.constData(), 0);
}

void removeStrays(const Staged &s)
{
    Descriptor listing(::openat(s.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR *dir = listing.valid() ? ::fdopendir(listing.get()) : nullptr;
    if (!dir)
        return;
    listing.release();
    const QByteArray prefix = temporaryPrefix(s.name);
    std::vector<QByteArray> found;
    while (const dirent *entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, prefix.constData(), size_t(prefix.size())) == 0)
            found.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const QByteArray &name : found)
        removeIfStray(s.folder.get(), name);
}

// The rename is only durable once the folder that holds the name is synced.
// A file system that cannot sync a folder at all (EINVAL) has nothing more to
// give; any other failure is a real one.
bool syncFolder(const Staged &s, QString *reason)
{
    if (::fsync(s.folder.get()) == 0 || errno == EINVAL)
        return true;
    *reason = QStringLiteral("its folder could not be synced (%1)").arg(systemError());
    return false;
}

Status replaceAll(std::vector<Staged> &staged)
{
    const bool undoable = staged.size() > 1;
    QString reason;
    for (size_t i = 0; i < staged.size(); ++i) {
        if (replace(staged[i], undoable, &reason))
            continue;
        QStringList lost;
        for (size_t k = 0; k < i; ++k) {
            if (!putBack(staged[k]))
                lost << shownName(QFileInfo(staged[k].path).fileName());
        }
        if (!lost.isEmpty())
            reason += QStringLiteral("; already replaced: %1").arg(lost.join(QLatin1String(", ")));
        dropTemporaries(staged);
        return Status::notWritten(staged[i].path, reason);
    }
    dropTemporaries(staged);
    return Status();
}

} // namespace

Status writeFilesAtomically(const QVector<FileWrite> &files)
{
    std::vector<Staged> staged(size_t(files.size()));
    QString reason;
    for (int i = 0; i < files.size(); ++i) {
        staged[size_t(i)].path = files[i].path;
        staged[size_t(i)].mode = files[i].mode;
        if (!stage(staged[size_t(i)], files[i].bytes, &reason)) {
            dropTemporaries(staged);
            return Status::notWritten(files[i].path, reason);
        }
    }
    const Status replaced = replaceAll(staged);
    if (!replaced.ok())
        return replaced;
    for (const Staged &s : staged)
        removeStrays(s);
    for (const Staged &s : staged) {
        if (!syncFolder(s, &reason))
            return Status::notDurable(s.path, reason);
    }
    return Status();
}

Status writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    return writeFilesAtomically({{path, bytes}});
}

void setDeviceWrite(DeviceWrite write)
{
    deviceWrite = write ? write : plainWrite;
}
