#include "world/worldwrite.h"

#include "world/atomicwrite.h"
#include "world/filenames.h"
#include "world/tablefile.h"
#include "world/worldload.h"

#include <QDir>

Status writeWorld(const QString &dir, const World &world)
{
    if (!QDir().mkpath(dir))
        return Status::refused(QStringLiteral("%1: cannot create the folder").arg(shownName(dir)));
    const QDir folder(dir);
    auto path = [&folder](const char *name) { return folder.filePath(QString::fromLatin1(name)); };
    return writeFilesAtomically({
        {path(headerFileName), encodeIntTable(world.header)},
        {path(levelsFileName), encodeIntTable(world.levels)},
        {path(coordsFileName), encodeFloatTable(world.coords)},
        {path(cornersFileName), encodeIntTable(world.corners)},
        {path(fansFileName), encodeIntTable(world.fans)},
        {path(demoFileName), QByteArray::number(world.demoFlag) + '\n'},
    });
}
