#include "world/status.h"

#include "world/filenames.h"

Status Status::refused(const QString &file, const QString &reason)
{
    return refused(aboutFile(file, reason));
}

Status Status::notWritten(const QString &file, const QString &reason)
{
    Status status(NotWritten, {aboutFile(file, QStringLiteral("not written (%1)").arg(reason))});
    status.file_ = file;
    status.reason_ = reason;
    return status;
}

Status Status::notDurable(const QString &file, const QString &reason)
{
    Status status(
        NotDurable,
        {aboutFile(
            file,
            QStringLiteral("written, but %1, so it may not survive a power cut").arg(reason))});
    status.file_ = file;
    status.reason_ = reason;
    return status;
}

int exitStatus(const Status &status)
{
    switch (status.kind()) {
    case Status::Ok:
        return 0;
    case Status::Usage:
        return 1;
    case Status::Refused:
    case Status::NotWritten:
    case Status::NotDurable:
        break;
    }
    return 2;
}
