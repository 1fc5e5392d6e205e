#include "world/status.h"

#include "world/filenames.h"

Status Status::notWritten(const QString &file, const QString &reason)
{
    Status status(NotWritten,
                  {QStringLiteral("%1: not written (%2)").arg(shownName(file), reason)});
    status.file_ = file;
    status.reason_ = reason;
    return status;
}

Status Status::notDurable(const QString &file, const QString &reason)
{
    Status status(NotDurable,
                  {QStringLiteral("%1: written, but %2, so it may not survive a power cut")
                       .arg(shownName(file), reason)});
    status.file_ = file;
    status.reason_ = reason;
    return status;
}

Status Status::outOfMemory(const QString &name)
{
    return refused(
        QStringLiteral("%1: refused, there is not enough memory for it").arg(shownName(name)));
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
