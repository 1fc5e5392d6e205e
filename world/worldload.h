// Loading a world from the data files of its folder, and the checks that
// make every later table access safe.
#ifndef WORLDLOAD_H
#define WORLDLOAD_H

#include "world/status.h"
#include "world/world.h"

#include <QString>
#include <QStringList>
#include <QVector>

// The data files, in the order they are read (demo.txt comes after the levels).
extern const char *const headerFileName;  // "base001.dat"
extern const char *const levelsFileName;  // "base002.dat"
extern const char *const coordsFileName;  // "base003.dat"
extern const char *const cornersFileName; // "base004.dat"
extern const char *const fansFileName;    // "base005.dat"
extern const char *const demoFileName;    // "demo.txt"

// Whether a load lays the built-in demo terrain over the levels: as demo.txt
// says (the editor's start), never (the levels as stored) or always.
enum class DemoTerrain { AsFlagged, Off, On };

// Reads the five tables and the demo flag from the folder dir, lays the demo
// terrain over the levels as demo says, derives the counts, then checks the
// world. Returns the world in *world, or a refusal with one line per
// problem: "base004.dat: triangle 17 corner B is vertex 9000, but the world
// has 2562 vertices". *world is changed only on success.
Status loadWorld(const QString &dir, DemoTerrain demo, World *world);

// The editor's load: the world in the working directory, the demo terrain as
// demo.txt says, into the program-wide tables (worldtables.h) and
// subdivisionLevel. A refused world leaves the tables empty and both world
// counts 0, so that nothing built from them reads outside a table.
Status loadWorld();

// The first integer of the file as QTextStream reads it, from its first 4 KiB;
// 0 when the file is missing, not a regular file (regularfile.h: a link is
// not followed), empty or does not start with an integer.
int readDemoFlag(const QString &path);

// The built-in demo terrain: 113 (vertex, level) pairs over vertices 0..142.
struct DemoLevel
{
    int vertex;
    int level;
};
extern const DemoLevel demoLevels[113];

// Writes the demo pairs into levels, skipping vertices beyond its end.
void applyDemoLevels(QVector<int> &levels);

// The counts a header of at least 11 entries states: the vertices in entry
// 10, the triangles in entry 4 + 2 x entry 3. In 64 bits, because a broken
// header may state more than an int holds.
qint64 headerVertexCount(const QVector<int> &header);
qint64 headerTriangleCount(const QVector<int> &header);

// Checks the tables as they stand against the world's invariants (header of
// 11 entries, sound counts, long enough tables, finite angles, corners and
// fans in range and consistent). Returns one line per problem, at most a few per rule.
QStringList checkWorldTables(const QVector<int> &header, const QVector<int> &levels,
                             const QVector<float> &coords, const QVector<int> &corners,
                             const QVector<int> &fans);

#endif
