#include "world/worldwrite.h"

#include "world/atomicwrite.h"
#include "world/filenames.h"
#include "world/levelstore.h"
#include "world/tablefile.h"
#include "world/worldload.h"

#include <QDir>
#include <QFileInfo>

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

QStringList worldFilesIn(const QString &dir)
{
    QStringList found;
    for (const char *name : {headerFileName, levelsFileName, coordsFileName, cornersFileName,
                             fansFileName, demoFileName, saveFileName}) {
        const QFileInfo file(QDir(dir).filePath(QString::fromLatin1(name)));
        if (file.exists() || file.isSymLink())
            found << QString::fromLatin1(name);
    }
    return found;
}
