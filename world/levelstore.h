// Saving the edited levels to "save.dat", and reloading the level table from
// "save.dat" (restore) or "base002.dat" (reset, without the demo terrain);
// and the levels a command works on.
//
// A load replaces vertexLevels only with a complete table of exactly
// vertexCount levels: anything else (a missing or short file, the save of
// another world) leaves vertexLevels as it was and is refused.
#ifndef LEVELSTORE_H
#define LEVELSTORE_H

#include "world/status.h"
#include "world/world.h"

#include <QString>
#include <QVector>

class Triangle;

extern const char *const saveFileName; // "save.dat"

// Writes the triangles' levels back into vertexLevels (in ascending triangle
// order, so the last triangle holding a vertex wins), then replaces
// "save.dat" atomically with the first vertexCount levels of that table. A
// failed write leaves the earlier file untouched. triangles holds
// worldTriangleCount elements.
Status saveLevels(const Triangle *triangles);

// The levels on screen when the window closes with edits that no save
// holds: written to "save.dat.recovered" beside save.dat (which is left as
// it was) through the durable writer, when the triangles' levels differ
// from settled, the levels last loaded or saved; *written says whether they
// did. triangles holds worldTriangleCount elements.
extern const char *const recoveryFileName; // "save.dat.recovered"
Status keepUnsavedLevels(const Triangle *triangles, const QVector<int> &settled, bool *written);

Status loadSavedLevels();
Status loadBaseLevels();

// Reads a level table from path for a world of vertexCount vertices: refused,
// with a line naming the file, unless the file is complete and holds exactly
// that many levels.
Status readLevelTable(const QString &path, int vertexCount, QVector<int> &levels);

extern const char *const levelsBackupSuffix; // ".bak"

// A world's base002.dat as it stands: its bytes for the backup, its whole
// table (the loader lets it hold more levels than the world has vertices),
// and its permission bits, which the backup keeps.
struct StartingLevels
{
    QString path;
    QByteArray bytes;
    QVector<int> table;
    int mode = 0;
};

// Reads dir's base002.dat, once, which must hold a level for each of the
// world's vertexCount vertices; refused in one line naming the file.
Status readStartingLevels(const QString &dir, int vertexCount, StartingLevels &file);

// Replaces the first levels.size() entries of the file read, keeping the old
// file as base002.dat.bak. Both or neither: a backup replaced for a change
// that then failed would hold the levels of no change at all. The copy is as
// private as its original.
Status writeStartingLevels(const StartingLevels &file, const QVector<int> &levels);

// Where a command takes its levels from: the world's own (as loaded), or a
// save file's when file is not empty; with the demo terrain laid over them
// when demo is set.
struct LevelSource
{
    QString file;
    bool demo = false;
};

// Replaces world.levels as source says; refused, with world as it was, when
// the file is not a complete table of one level per vertex.
Status takeLevels(const LevelSource &source, World &world);

#endif
