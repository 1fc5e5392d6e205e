// Loading the world from its data files in the working directory, and the
// checks that make every later table access safe.
#ifndef WORLDLOAD_H
#define WORLDLOAD_H

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

// Reads the five tables and the demo flag from the working directory,
// applies the demo terrain when the flag is set, derives subdivisionLevel,
// worldVertexCount and worldTriangleCount, then checks the world.
// When worldProblems() is not empty afterwards, both world counts are 0, so
// that nothing built from them reads outside a table.
void loadWorld();

// As loadWorld, reading the files from dir instead of the working directory.
void loadWorldFrom(const QString &dir);

// One line per problem found by the last load: "base004.dat: triangle 17
// corner B is vertex 9000, but the world has 2562 vertices". Empty when the
// world is sound.
const QStringList &worldProblems();

// The first integer of the file as QTextStream reads it; 0 when the file is
// missing, unreadable, empty or does not start with an integer.
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
// 11 entries, sound counts, long enough tables, corners and fans in range and
// consistent). Returns one line per problem, at most a few per rule.
QStringList checkWorldTables(const QVector<int> &header, const QVector<int> &levels,
                             const QVector<float> &coords, const QVector<int> &corners,
                             const QVector<int> &fans);

#endif
