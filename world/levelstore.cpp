#include "world/levelstore.h"

#include "terrain/triangle.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldtables.h"

const char *const saveFileName = "save.dat";

namespace {

enum LevelCount { Exactly, AtLeast };

bool readLevels(const QString &path, int vertexCount, LevelCount rule, QVector<int> &levels,
                QString *error)
{
    const TableRead read = readIntTable(path, levels);
    QString problem = describeTableRead(path, read);
    const bool counted =
        rule == Exactly ? levels.size() == vertexCount : levels.size() >= vertexCount;
    if (problem.isEmpty() && !counted)
        problem = QStringLiteral("%1: holds %2 levels, but the world has %3 vertices")
                      .arg(path)
                      .arg(levels.size())
                      .arg(vertexCount);
    if (error)
        *error = problem;
    return problem.isEmpty();
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

bool loadLevelsFrom(const char *file, QString *error)
{
    QVector<int> levels;
    if (!readLevelTable(QString::fromLatin1(file), vertexCount, levels, error))
        return false;
    vertexLevels = levels;
    return true;
}

} // namespace

bool saveLevels(const Triangle *triangles, QString *error)
{
    refreshLevelsFrom(triangles);
    // One level per vertex, as a restore insists: base002.dat may hold more,
    // and a save that carried them along could never be restored.
    return writeIntTable(QString::fromLatin1(saveFileName), vertexLevels.mid(0, vertexCount),
                         error);
}

bool readLevelTable(const QString &path, int vertexCount, QVector<int> &levels, QString *error)
{
    return readLevels(path, vertexCount, Exactly, levels, error);
}

bool readStartingLevels(const QString &path, int vertexCount, QVector<int> &levels, QString *error)
{
    return readLevels(path, vertexCount, AtLeast, levels, error);
}

bool loadSavedLevels(QString *error)
{
    return loadLevelsFrom(saveFileName, error);
}

bool loadBaseLevels(QString *error)
{
    return loadLevelsFrom(levelsFileName, error);
}
