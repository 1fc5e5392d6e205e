// What the loader, the writers and the commands return: success, or a kind
// of failure with the lines that tell the user about it.
//
// A failure is one line, except a refused world, which has one line per
// problem the checks found. The kinds decide what the programs do with it:
// the exit status (exitStatus below) and, in the editor, the warning's words.
#ifndef STATUS_H
#define STATUS_H

#include <QString>
#include <QStringList>

class Status
{
public:
    enum Kind {
        Ok,
        Usage,      // the command line is wrong
        Refused,    // an input (a world, a levels file, a raster) cannot be used
        NotWritten, // a file was left as it was
        NotDurable  // a file holds the new bytes, but a power cut may still undo them
    };

    Status() = default;
    static Status usage(const QString &line) { return Status(Usage, {line}); }
    static Status refused(const QString &line) { return Status(Refused, {line}); }
    static Status refused(const QStringList &lines) { return Status(Refused, lines); }
    // "FILE: REASON" (aboutFile in filenames.h).
    static Status refused(const QString &file, const QString &reason);
    // "FILE: not written (REASON)", FILE shown as shownName (filenames.h)
    // shows it; file() keeps it as given.
    static Status notWritten(const QString &file, const QString &reason);
    // "FILE: written, but REASON, so it may not survive a power cut".
    static Status notDurable(const QString &file, const QString &reason);

    bool ok() const { return kind_ == Ok; }
    Kind kind() const { return kind_; }
    // The first line; empty on success.
    QString message() const { return lines_.value(0); }
    const QStringList &lines() const { return lines_; }
    // For NotWritten and NotDurable: the file and the reason, apart.
    const QString &file() const { return file_; }
    const QString &reason() const { return reason_; }

private:
    Status(Kind kind, const QStringList &lines) : kind_(kind), lines_(lines) {}

    Kind kind_ = Ok;
    QStringList lines_;
    QString file_, reason_;
};

// The exit status of both programs: 0 success, 1 a usage error, 2 anything
// refused or not written.
int exitStatus(const Status &status);

#endif
