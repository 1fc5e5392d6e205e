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
#include <new>

const char *const saveFileName = "save.dat";
const char *const levelsBackupSuffix = ".bak";
const char *const recoveryFileName = "save.dat.recovered";

namespace {

// Far above the levels of the largest world generate makes (2.6 MB).
const qint64 levelsFileLimit = qint64(1) << 30;

enum LevelCount { Exactly, AtLeast };

Status tooFewLevels(const QString &path, qint64 count, int vertexCount)
{
    return Status::refused(path, QStringLiteral("holds %1 levels, but the world has %2 vertices")
                                     .arg(count)
                                     .arg(vertexCount));
}

Status readLevels(const QString &path, NameLink link, int vertexCount, LevelCount rule,
                  QVector<int> &levels)
{
    // Only the levels the world needs are read, whatever the count claims:
    // a sparse file can back a claim of billions at no cost to its maker.
    const TableRead read = readIntTable(path, levels, link, vertexCount);
    if (!read.ok())
        return read.status;
    const bool counted = rule == Exactly ? read.declared == quint32(vertexCount)
                                         : read.declared >= quint32(vertexCount);
    return counted ? Status() : tooFewLevels(path, read.declared, vertexCount);
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

Status keepUnsavedLevels(const Triangle *triangles, const QVector<int> &settled, bool *written)
{
    *written = false;
    refreshLevelsFrom(triangles);
    const QVector<int> shown = vertexLevels.mid(0, vertexCount);
    if (shown == settled.mid(0, vertexCount))
        return Status();
    const Status kept = writeIntTable(QString::fromLatin1(recoveryFileName), shown);
    *written = kept.ok();
    return kept;
}

Status readLevelTable(const QString &path, int vertexCount, QVector<int> &levels)
{
    return readLevels(path, NameLink::Refused, vertexCount, Exactly, levels);
}

Status readStartingLevels(const QString &dir, int vertexCount, StartingLevels &file)
{
    file.path = QDir(dir).filePath(QString::fromLatin1(levelsFileName));
    QFile opened;
    const FileOpen open = openRegularFile(file.path, NameLink::Refused, opened);
    if (!open.ok())
        return Status::refused(
            file.path, QString::fromLatin1(open.missing ? "missing (%1)" : "cannot be read (%1)")
                           .arg(open.status.reason()));
    // Sized before anything is read: a sparse file's size costs its maker nothing.
    if (open.size > levelsFileLimit)
        return Status::refused(
            file.path,
            QStringLiteral("%1 bytes, far more than the levels of a world").arg(open.size));
    file.bytes = opened.read(open.size);
    if (opened.error() != QFileDevice::NoError)
        return Status::refused(file.path,
                               QStringLiteral("cannot be read (%1)").arg(opened.errorString()));
    file.mode = open.mode;
    const TableRead read = decodeIntTable(file.path, file.bytes, file.table);
    if (!read.ok())
        return read.status;
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
