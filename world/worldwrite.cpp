#include "world/worldwrite.h"

#include "world/tablefile.h"
#include "world/worldload.h"

#include <QDir>

Status writeWorld(const QString &dir, const World &world)
{
    if (!QDir().mkpath(dir))
        return Status::refused(QStringLiteral("%1: cannot create the folder").arg(dir));
    const QDir folder(dir);
    auto path = [&folder](const char *name) { return folder.filePath(QString::fromLatin1(name)); };
    Status status = writeIntTable(path(headerFileName), world.header);
    if (status.ok())
        status = writeIntTable(path(levelsFileName), world.levels);
    if (status.ok())
        status = writeFloatTable(path(coordsFileName), world.coords);
    if (status.ok())
        status = writeIntTable(path(cornersFileName), world.corners);
    if (status.ok())
        status = writeIntTable(path(fansFileName), world.fans);
    if (status.ok())
        status = writeFileAtomically(path(demoFileName), QByteArray::number(world.demoFlag) + '\n');
    return status;
}
