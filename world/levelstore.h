// Saving the edited levels to "save.dat", and reloading the level table from
// "save.dat" (restore) or "base002.dat" (reset, without the demo terrain).
//
// A load replaces vertexLevels only with a complete table of exactly
// vertexCount levels: anything else (a missing or short file, the save of
// another world) leaves vertexLevels as it was and explains why in *error.
#ifndef LEVELSTORE_H
#define LEVELSTORE_H

#include <QString>
#include <QVector>

class Triangle;

extern const char *const saveFileName; // "save.dat"

// Writes the triangles' levels back into vertexLevels (in ascending triangle
// order, so the last triangle holding a vertex wins), then replaces
// "save.dat" atomically with the first vertexCount levels of that table. A
// failed write leaves the earlier file untouched. triangles holds
// worldTriangleCount elements.
bool saveLevels(const Triangle *triangles, QString *error);

bool loadSavedLevels(QString *error);
bool loadBaseLevels(QString *error);

// Reads a level table from path for a world of vertexCount vertices. Returns
// false, with a line naming the file in *error, unless the file is complete
// and holds exactly that many levels.
bool readLevelTable(const QString &path, int vertexCount, QVector<int> &levels, QString *error);

// Reads a world's starting levels from path (its base002.dat), which must
// hold at least vertexCount levels: the loader lets it hold more. levels
// receives the whole table. Returns false, with a line naming the file in
// *error, otherwise.
bool readStartingLevels(const QString &path, int vertexCount, QVector<int> &levels, QString *error);

#endif
