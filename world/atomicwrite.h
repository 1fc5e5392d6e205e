// The one way the programs write a file: atomically, durably, and only the
// file that was named.
//
// The bytes go into a new file in the target's folder that no other program
// can have opened or linked (O_TMPFILE, or else O_CREAT | O_EXCL |
// O_NOFOLLOW on a fresh random name, checked with fstat to be a regular
// file of one link), are synced, and the file is renamed over the target;
// then the folder is synced. So:
// - a link planted at a temporary name is never opened: the name is new;
// - a symbolic link or hard link at the target is replaced, not followed;
// - the target keeps its permission bits and, where the system permits, its
//   owner and group (setuid, setgid and sticky bits are not carried over);
// - writers of one file at the same time each write their own file and the
//   last rename wins; none truncates another's, and each reports success
//   only once its own bytes were renamed into place;
// - a temporary file a killed writer left (FILE.partial...) is removed by
//   the next write of FILE, unless a live writer holds it.
#ifndef ATOMICWRITE_H
#define ATOMICWRITE_H

#include "world/status.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QVector>

// Writes bytes to path: path is replaced whole or left as it was, and once
// this returns success the new bytes survive a crash or a power cut. Fails
// with NotWritten when path is as it was, or with NotDurable when only the
// folder could not be synced (path then holds the new bytes, which a power
// cut may still undo). The reason is the system's ("No space left on
// device").
Status writeFileAtomically(const QString &path, const QByteArray &bytes);

struct FileWrite
{
    QString path;
    QByteArray bytes;
    // The permission bits the file gets, whatever the target had: a copy
    // takes its original's. -1: the target's, or for a new file 0666 less
    // the umask.
    int mode = -1;
};

// Writes several files all or nothing: every new file is written and synced
// before any target is replaced, then they are renamed over their targets in
// order. When a rename fails, the targets already replaced get their old
// files back (where the file system can exchange two names; elsewhere the
// failure says which are new). A NotWritten failure names the file that
// failed and leaves every target as it was.
//
// A writer killed between its renames leaves a journal (writeJournalName)
// in each folder it writes in, synced before the first rename; the next
// write there, or finishInterruptedWrites, completes the renames, so a
// kill at any instant leaves all the old files or all the new ones once a
// folder is next used. Writers of several files in one folder wait for each
// other (flock on the folder).
//
// Only a regular file, a new name or a symbolic link to a regular file (or
// to nothing) is replaced: a device, FIFO, socket or folder at a target,
// or a link to one, is NotWritten ("a character device, not a regular
// file").
Status writeFilesAtomically(const QVector<FileWrite> &files);

// Whether path's folder exists, asked before a command does the work of a
// file it could not write: NotWritten, "PATH: not written (no folder
// FOLDER)", when it does not.
Status checkOutputFolder(const QString &path);

// Completes the renames of a write that a kill cut short in the folder dir,
// as its journal records them; success when there is none, or when a live
// writer holds the folder. Refused, naming the journal, when it is not one
// this program could have written (nothing is renamed then) or its renames
// can no longer all be made.
Status finishInterruptedWrites(const QString &dir);

// ".globe-journal": the name of a folder's write journal.
extern const char *const writeJournalName;

// ".partial": the start of the temporary names beside FILE (FILE.partial-
// and eight random letters), which only a killed writer leaves behind.
extern const char *const partialSuffix;

// How the writer hands the bytes to its open temporary file: returns the
// count written, -1 on error. Tests replace it to make a write fail part way
// where the file system cannot be made to, or to hold a writer while another
// runs; nullptr restores the plain QIODevice::write. Set it only while
// nothing is writing.
using DeviceWrite = qint64 (*)(QIODevice &device, const QByteArray &bytes);
void setDeviceWrite(DeviceWrite write);

// Called in a write of several files before its rename k (0 to n - 1) and
// once with n after the last, while the journal is still there: tests stop
// the writer there to see what a kill leaves. nullptr: none.
using RenameHook = void (*)(int k);
void setRenameHook(RenameHook hook);

#endif
