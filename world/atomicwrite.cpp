#include "world/atomicwrite.h"

#include "world/filenames.h"
#include "world/regularfile.h"

#include <QDir>
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

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

const char *const partialSuffix = ".partial";
const char *const writeJournalName = ".globe-journal";

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
    // Only a file is ever replaced: a device, FIFO or socket there is a
    // stream someone reads, and renaming over /dev/full as root would put a
    // file where the device was. A link is replaced, not followed, unless
    // it names such a thing (/dev/stdout, /proc/self/fd/1, a folder).
    struct stat named;
    const bool link = S_ISLNK(target.st_mode);
    if (link && ::fstatat(s.folder.get(), s.name.constData(), &named, 0) == 0 &&
        !S_ISREG(named.st_mode)) {
        *reason = QStringLiteral("a symbolic link to %1, not a regular file")
                      .arg(fileTypeName(named.st_mode));
        return false;
    }
    if (!link && !S_ISREG(target.st_mode)) {
        *reason = QStringLiteral("%1, not a regular file").arg(fileTypeName(target.st_mode));
        return false;
    }
    // Only a file's mode is the user's choice for what replaces it.
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

// The folder is open already: see lockFolders.
bool stage(Staged &s, const QByteArray &bytes, QString *reason)
{
    return inspectTarget(s, reason) && createFile(s, reason) && fill(s, bytes, reason) &&
           linkIn(s, reason);
}

RenameHook renameHook = nullptr;

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
        if (renameHook && undoable)
            renameHook(int(i));
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

// The journal of a write of several files: the renames still to be made, so
// that a writer killed between them leaves a folder the next load or write
// completes. Every new file is whole and synced before the journal exists,
// so completing is always possible and is what the journal does: once it
// is in place the write has happened, as a transaction has in SQLite once
// its journal says so. Renames made in different folders each have their
// folder's journal, and completing each completes them all.
//
// It is read from folders of strangers, so it may be hostile: a regular
// file, small, every name a plain name in its own folder, every rename one
// this writer could have planned (FILE.partial-XXXXXXXX over FILE), and
// made only when the file at the temporary name is the one the journal
// names by its inode.
const char *const journalHeader = "globe write journal 1";
const qint64 journalLimit = 64 * 1024;
const int journalEntries = 256;

struct JournalEntry
{
    quint64 inode = 0; // the new file's
    QByteArray target, temporary;
};

QByteArray journalBytes(const std::vector<Staged *> &members)
{
    QByteArray out = QByteArray(journalHeader) + '\n';
    for (const Staged *s : members) {
        struct stat info;
        ::fstat(s->file.get(), &info);
        out += QByteArray::number(quint64(info.st_ino)) + ' ' + s->name.toHex() + ' ' +
               s->temporary.toHex() + '\n';
    }
    return out;
}

bool plainName(const QByteArray &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains('\0') && name != writeJournalName;
}

bool plannedTemporary(const QByteArray &target, const QByteArray &temporary)
{
    const QByteArray prefix = temporaryPrefix(target) + '-';
    if (!temporary.startsWith(prefix) || temporary.size() != prefix.size() + 8)
        return false;
    for (const char c : temporary.mid(prefix.size())) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// Empty on success; otherwise why the journal is not one this writer wrote.
QString parseJournal(const QByteArray &bytes, std::vector<JournalEntry> &entries)
{
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.value(0) != journalHeader || !bytes.endsWith('\n'))
        return QStringLiteral("not a write journal of this program");
    for (int i = 1; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(' ');
        JournalEntry entry;
        bool number = false;
        if (fields.size() == 3) {
            entry.inode = fields[0].toULongLong(&number);
            entry.target = QByteArray::fromHex(fields[1]);
            entry.temporary = QByteArray::fromHex(fields[2]);
        }
        if (!number || !plainName(entry.target) ||
            !plannedTemporary(entry.target, entry.temporary) || entries.size() >= journalEntries)
            return QStringLiteral("line %1 is not a rename this program plans").arg(i + 1);
        entries.push_back(entry);
    }
    return QString();
}

enum class Found { Nothing, NewFile, Other };

Found lookAt(int folder, const QByteArray &name, const JournalEntry &entry)
{
    struct stat info;
    if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return Found::Nothing;
    return S_ISREG(info.st_mode) && quint64(info.st_ino) == entry.inode ? Found::NewFile
                                                                        : Found::Other;
}

// Makes one planned rename if it is still to be made, and removes the old
// file an exchange left at the temporary name. Every step can be repeated,
// so a kill during the completion is completed in its turn.
QString completeEntry(int folder, const JournalEntry &entry)
{
    const Found atTemporary = lookAt(folder, entry.temporary, entry);
    const Found atTarget = lookAt(folder, entry.target, entry);
    if (atTemporary == Found::NewFile) {
        if (::renameat(folder, entry.temporary.constData(), folder, entry.target.constData()) != 0)
            return QStringLiteral("%1 cannot be put in place (%2)")
                .arg(shownName(QFile::decodeName(entry.target)), systemError());
        return QString();
    }
    if (atTarget != Found::NewFile)
        return QStringLiteral("the new %1 is gone").arg(shownName(QFile::decodeName(entry.target)));
    if (atTemporary == Found::Other)
        ::unlinkat(folder, entry.temporary.constData(), 0);
    return QString();
}

// Completes the write the journal in folder (locked by the caller) records;
// empty when there is none or once it is complete.
QString completeJournal(int folder)
{
    struct stat info;
    if (::fstatat(folder, writeJournalName, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return QString();
    const Descriptor fd(
        ::openat(folder, writeJournalName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid() && errno == ELOOP)
        info.st_mode = S_IFLNK;
    else if (!fd.valid() || ::fstat(fd.get(), &info) != 0)
        return systemError();
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("%1, not a regular file").arg(fileTypeName(info.st_mode));
    if (info.st_size > journalLimit)
        return QStringLiteral("%1 bytes, far more than a journal").arg(info.st_size);
    QByteArray bytes(int(info.st_size), Qt::Uninitialized);
    if (::read(fd.get(), bytes.data(), size_t(bytes.size())) != bytes.size())
        return QStringLiteral("cannot be read");
    std::vector<JournalEntry> entries;
    QString problem = parseJournal(bytes, entries);
    for (size_t i = 0; problem.isEmpty() && i < entries.size(); ++i)
        problem = completeEntry(folder, entries[i]);
    if (!problem.isEmpty())
        return problem;
    if (::fsync(folder) != 0 && errno != EINVAL)
        return systemError();
    if (::unlinkat(folder, writeJournalName, 0) != 0)
        return systemError();
    ::fsync(folder);
    return QString();
}

QString journalProblem(const QString &folderPath, const QString &problem)
{
    return QStringLiteral("%1: a write cut short cannot be completed (%2); remove the journal "
                          "to take the files as they are")
        .arg(shownName(QDir(folderPath).filePath(QLatin1String(writeJournalName))), problem);
}

// The folders of one write, each opened and locked once, in an order every
// writer shares (device, then inode) so that two writers never wait on each
// other. A write holds its folders' locks from before its journals are made
// until they are gone.
struct Folder
{
    Descriptor fd;
    dev_t device = 0;
    ino_t inode = 0;
    QString path;
    std::vector<Staged *> members;
    Staged journal;
};

// Opens every target's folder, groups the targets by folder, locks each and
// completes a journal a killed writer left there. On failure names the file.
// A write of one file needs no journal and holds no lock: it completes a
// journal only when no writer is at work there, and never waits.
bool lockFolders(std::vector<Staged> &staged, std::vector<Folder> &folders, size_t *failed,
                 QString *reason)
{
    const bool hold = staged.size() > 1;
    for (size_t i = 0; i < staged.size(); ++i) {
        Staged &s = staged[i];
        struct stat info;
        *failed = i;
        if (!openFolder(s, reason))
            return false;
        if (::fstat(s.folder.get(), &info) != 0) {
            *reason = systemError();
            return false;
        }
        auto same = std::find_if(folders.begin(), folders.end(), [&](const Folder &f) {
            return f.device == info.st_dev && f.inode == info.st_ino;
        });
        if (same == folders.end()) {
            folders.emplace_back();
            same = folders.end() - 1;
            same->fd.reset(::fcntl(s.folder.get(), F_DUPFD_CLOEXEC, 0));
            same->device = info.st_dev;
            same->inode = info.st_ino;
            same->path = QFileInfo(s.path).absolutePath();
        }
        same->members.push_back(&s);
    }
    std::sort(folders.begin(), folders.end(), [](const Folder &a, const Folder &b) {
        return std::tie(a.device, a.inode) < std::tie(b.device, b.inode);
    });
    for (Folder &f : folders) {
        // The failure names the folder's first file.
        *failed = size_t(f.members.front() - staged.data());
        if (!f.fd.valid() || ::flock(f.fd.get(), hold ? LOCK_EX : LOCK_EX | LOCK_NB) != 0) {
            if (!hold && errno == EWOULDBLOCK)
                continue;
            *reason = systemError();
            return false;
        }
        const QString problem = completeJournal(f.fd.get());
        if (!problem.isEmpty()) {
            *reason = journalProblem(f.path, problem);
            return false;
        }
        if (!hold)
            ::flock(f.fd.get(), LOCK_UN);
    }
    return true;
}

// Puts each folder's journal in place, synced, before the first rename.
bool writeJournals(std::vector<Folder> &folders, QString *reason)
{
    for (Folder &f : folders) {
        Staged &j = f.journal;
        j.path = QDir(f.path).filePath(QLatin1String(writeJournalName));
        j.name = writeJournalName;
        j.folder.reset(::fcntl(f.fd.get(), F_DUPFD_CLOEXEC, 0));
        if (!stage(j, journalBytes(f.members), reason) || !replace(j, false, reason))
            return false;
        if (::fsync(f.fd.get()) != 0 && errno != EINVAL) {
            *reason = systemError();
            return false;
        }
    }
    return true;
}

// The write is complete (or undone): its journals go, and then it is as if
// they had never been.
void dropJournals(std::vector<Folder> &folders)
{
    for (Folder &f : folders) {
        if (f.journal.state == Staged::Renamed)
            ::unlinkat(f.fd.get(), writeJournalName, 0);
        else if (!f.journal.temporary.isEmpty())
            ::unlinkat(f.fd.get(), f.journal.temporary.constData(), 0);
    }
}

} // namespace

Status writeFilesAtomically(const QVector<FileWrite> &files)
{
    std::vector<Staged> staged(size_t(files.size()));
    for (int i = 0; i < files.size(); ++i) {
        staged[size_t(i)].path = files[i].path;
        staged[size_t(i)].mode = files[i].mode;
    }
    std::vector<Folder> folders;
    QString reason;
    size_t failed = 0;
    if (!lockFolders(staged, folders, &failed, &reason))
        return Status::notWritten(staged[failed].path, reason);
    for (size_t i = 0; i < staged.size(); ++i) {
        if (!stage(staged[i], files[int(i)].bytes, &reason)) {
            dropTemporaries(staged);
            return Status::notWritten(staged[i].path, reason);
        }
    }
    // One rename is atomic by itself; several need the journal.
    if (staged.size() > 1 && !writeJournals(folders, &reason)) {
        dropJournals(folders);
        dropTemporaries(staged);
        return Status::notWritten(staged.front().path, reason);
    }
    const Status replaced = replaceAll(staged);
    if (renameHook && staged.size() > 1)
        renameHook(int(staged.size()));
    for (const Folder &f : folders) {
        if (replaced.ok() && ::fsync(f.fd.get()) != 0 && errno != EINVAL)
            return Status::notDurable(f.members.front()->path, systemError());
    }
    dropJournals(folders);
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

Status finishInterruptedWrites(const QString &dir)
{
    const Descriptor folder(
        ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // A live writer holds the lock and finishes its own write.
    if (!folder.valid() || ::flock(folder.get(), LOCK_EX | LOCK_NB) != 0)
        return Status();
    const QString problem = completeJournal(folder.get());
    return problem.isEmpty() ? Status() : Status::refused(journalProblem(dir, problem));
}

void setRenameHook(RenameHook hook)
{
    renameHook = hook;
}

void setDeviceWrite(DeviceWrite write)
{
    deviceWrite = write ? write : plainWrite;
}

Status checkOutputFolder(const QString &path)
{
    const QDir folder = QFileInfo(path).absoluteDir();
    if (folder.exists())
        return Status();
    return Status::notWritten(
        path,
        QStringLiteral("no folder %1").arg(shownName(QDir::toNativeSeparators(folder.path()))));
}
