#include "world/levelstore.h"

#include "terrain/triangle.h"
#include "world/filenames.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldtables.h"

#include <new>

const char *const saveFileName = "save.dat";

namespace {

enum LevelCount { Exactly, AtLeast };

Status readLevels(const QString &path, NameLink link, int vertexCount, LevelCount rule,
                  QVector<int> &levels)
{
    // Only the levels the world needs are read, whatever the count claims:
    // a sparse file can back a claim of billions at no cost to its maker.
    const TableRead read = readIntTable(path, levels, link, vertexCount);
    if (!read.ok())
        return Status::refused(describeTableRead(path, read));
    const bool counted = rule == Exactly ? read.declared == quint32(vertexCount)
                                         : read.declared >= quint32(vertexCount);
    if (!counted)
        return Status::refused(QStringLiteral("%1: holds %2 levels, but the world has %3 vertices")
                                   .arg(shownName(path))
                                   .arg(read.declared)
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

// The editor's restore and reset: a failure of any kind, memory included,
// leaves vertexLevels, and so the terrain on screen, as it was.
Status loadLevelsFrom(const char *file)
{
    const QString path = QString::fromLatin1(file);
    QVector<int> levels;
    Status status;
    try {
        status = readLevelTable(path, vertexCount, levels);
    } catch (const std::bad_alloc &) {
        status = Status::outOfMemory(path);
    }
    if (status.ok())
        vertexLevels = levels;
    return status;
}

} // namespace

Status saveLevels(const Triangle *triangles)
{
    refreshLevelsFrom(triangles);
    const QString path = QString::fromLatin1(saveFileName);
    try {
        // One level per vertex, as a restore insists: base002.dat may hold
        // more, and a save that carried them along could never be restored.
        return writeIntTable(path, vertexLevels.mid(0, vertexCount));
    } catch (const std::bad_alloc &) {
        return Status::notWritten(path, QStringLiteral("not enough memory"));
    }
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
