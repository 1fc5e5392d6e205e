#include "world/levelstore.h"

#include "terrain/triangle.h"
#include "world/filenames.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldtables.h"

const char *const saveFileName = "save.dat";

namespace {

enum LevelCount { Exactly, AtLeast };

Status readLevels(const QString &path, NameLink link, int vertexCount, LevelCount rule,
                  QVector<int> &levels)
{
    const TableRead read = readIntTable(path, levels, link);
    if (!read.ok())
        return Status::refused(describeTableRead(path, read));
    const bool counted =
        rule == Exactly ? levels.size() == vertexCount : levels.size() >= vertexCount;
    if (!counted)
        return Status::refused(QStringLiteral("%1: holds %2 levels, but the world has %3 vertices")
                                   .arg(shownName(path))
                                   .arg(levels.size())
                                   .arg(vertexCount));
    return Status();
}

void refreshLevelsFrom(const Triangle *triangles)
{
    int *levels = vertexLevels.data();
    for (int t = 0; t < worldTriangleCount; ++t) {
        const Triangle &triangle = triangles[t];
        levels[triangle.getVertexA()] = triangle.getLevelA();
        levels[triangle.getVertexB()] = triangle.getLevelB();
        levels[triangle.getVertexC()] = triangle.getLevelC();
    }
}

Status loadLevelsFrom(const char *file)
{
    QVector<int> levels;
    const Status status = readLevelTable(QString::fromLatin1(file), vertexCount, levels);
    if (status.ok())
        vertexLevels = levels;
    return status;
}

} // namespace

Status saveLevels(const Triangle *triangles)
{
    refreshLevelsFrom(triangles);
    // One level per vertex, as a restore insists: base002.dat may hold more,
    // and a save that carried them along could never be restored.
    return writeIntTable(QString::fromLatin1(saveFileName), vertexLevels.mid(0, vertexCount));
}

Status readLevelTable(const QString &path, int vertexCount, QVector<int> &levels)
{
    return readLevels(path, NameLink::Refused, vertexCount, Exactly, levels);
}

Status readStartingLevels(const QString &path, int vertexCount, QVector<int> &levels)
{
    return readLevels(path, NameLink::Refused, vertexCount, AtLeast, levels);
}

Status loadSavedLevels()
{
    return loadLevelsFrom(saveFileName);
}

Status loadBaseLevels()
{
    return loadLevelsFrom(levelsFileName);
}

Status takeLevels(const LevelSource &source, World &world)
{
    QVector<int> levels = world.levels;
    if (!source.file.isEmpty()) {
        // The user typed this name: a link there is theirs to follow.
        const Status status =
            readLevels(source.file, NameLink::Followed, world.vertexCount, Exactly, levels);
        if (!status.ok())
            return status;
    }
    if (source.demo)
        applyDemoLevels(levels);
    world.levels = levels;
    return Status();
}
