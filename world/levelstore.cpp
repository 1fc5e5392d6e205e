#include "world/levelstore.h"

#include "terrain/triangle.h"
#include "world/atomicwrite.h"
#include "world/filenames.h"
#include "world/regularfile.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldtables.h"

#include <QDir>

#include <algorithm>

const char *const saveFileName = "save.dat";
const char *const levelsBackupSuffix = ".bak";

namespace {

// Far above the levels of the largest world generate makes (2.6 MB).
const qint64 levelsFileLimit = qint64(1) << 30;

enum LevelCount { Exactly, AtLeast };

Status tooFewLevels(const QString &path, int count, int vertexCount)
{
    return Status::refused(path, QStringLiteral("holds %1 levels, but the world has %2 vertices")
                                     .arg(count)
                                     .arg(vertexCount));
}

Status readLevels(const QString &path, NameLink link, int vertexCount, LevelCount rule,
                  QVector<int> &levels)
{
    const TableRead read = readIntTable(path, levels, link);
    if (!read.ok())
        return Status::refused(describeTableRead(path, read));
    const bool counted =
        rule == Exactly ? levels.size() == vertexCount : levels.size() >= vertexCount;
    return counted ? Status() : tooFewLevels(path, levels.size(), vertexCount);
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

Status readStartingLevels(const QString &dir, int vertexCount, StartingLevels &file)
{
    file.path = QDir(dir).filePath(QString::fromLatin1(levelsFileName));
    const FileOpen opened =
        readRegularFile(file.path, NameLink::Refused, levelsFileLimit, &file.bytes);
    if (!opened.ok) {
        TableRead failed;
        failed.status = opened.missing ? TableRead::Missing : TableRead::Unreadable;
        failed.reason = opened.reason;
        return Status::refused(describeTableRead(file.path, failed));
    }
    if (opened.size > levelsFileLimit)
        return Status::refused(
            file.path,
            QStringLiteral("%1 bytes, far more than the levels of a world").arg(opened.size));
    file.mode = opened.mode;
    const TableRead read = decodeIntTable(file.bytes, file.table);
    if (!read.ok())
        return Status::refused(describeTableRead(file.path, read));
    return file.table.size() < vertexCount ? tooFewLevels(file.path, file.table.size(), vertexCount)
                                           : Status();
}

Status writeStartingLevels(const StartingLevels &file, const QVector<int> &levels)
{
    QVector<int> table = file.table;
    std::copy(levels.begin(), levels.end(), table.begin());
    return writeFilesAtomically(
        {{file.path + QLatin1String(levelsBackupSuffix), file.bytes, file.mode},
         {file.path, encodeIntTable(table)}});
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
