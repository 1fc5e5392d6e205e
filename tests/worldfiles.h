// Test support: generated worlds on disk, and ways to break their files.
#ifndef WORLDFILES_H
#define WORLDFILES_H

#include "generator/worldgen.h"
#include "relief/heightmapimport.h"
#include "world/worldload.h"

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

// Writes a generated world into dir; fails the calling test on error.
void writeTestWorld(const QString &dir, const WorldRecipe &recipe);

// A small sound world in dir/world and one whose corner table is cut short
// in dir/broken, for the commands' refusals.
void writeSoundAndBrokenWorlds(const QString &dir);

QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

// Runs program with arguments and returns its exit status (-1 if it did not
// finish within a minute), with its stdout and then its stderr in *output.
int runProgram(const QString &program, const QStringList &arguments, QString *output);
#ifdef GLOBE_WORLD_EXE
inline int run(const QStringList &arguments, QString *output)
{
    return runProgram(GLOBE_WORLD_EXE, arguments, output);
}
#endif

// The world in dir as globe-world's commands load it, the levels as demo
// says; fails the calling test, and returns an empty world, when refused.
World loadTestWorld(const QString &dir, DemoTerrain demo = DemoTerrain::Off);

// A table file declaring count elements whose bytes are a hole: as large as
// the count says, at no cost on disk. Fails the calling test on error.
void writeSparseTable(const QString &path, quint32 count);

// A suite of tests on generated worlds in its own scratch folder.
class WorldSuite : public QObject
{
protected:
    // A new world of 20 x 4^subdivision triangles in the scratch folder.
    QString world(int subdivision, WorldRecipe::Terrain levels = WorldRecipe::Random,
                  bool demo = false);
    QTemporaryDir dir;
    QString output; // stdout and stderr of the last run
};

// The import of one raster into the world in folder, as globe-world runs it.
Status importRaster(const QString &folder, const QString &raster, const LevelScale &scale = {});

// Expected levels at places: longitude and latitude in degrees, then the
// level (or, negated, the lowest level wanted there).
using Places = QVector<QVector<double>>;

// Checks the levels of the world loaded from folder at each place's
// nearest vertex; fails the calling test naming the first place that differs.
void checkPlaces(const QString &folder, const Places &places);

// dir's file named file.
QString path(const QString &dir, const char *file);

// Reads an integer table file, lets edit change it, writes it back.
void editIntTable(const QString &path, const std::function<void(QVector<int> &)> &edit);

// Links an attacker plants where a writer of target works: at the name of
// the temporary file writers used to take (target + ".partial") or at the
// target itself, each pointing at (or being) victim, a file elsewhere.
enum class PlantedLink {
    SymlinkAtTemporary,
    HardLinkAtTemporary,
    SymlinkAtTarget,
    HardLinkAtTarget
};
Q_DECLARE_METATYPE(PlantedLink)

// Adds one row per kind of planted link, in a column "link".
void addPlantedLinkRows();

// Plants the link; fails the calling test when it cannot be made.
void plantLink(PlantedLink link, const QString &target, const QString &victim);

// Whether path is a regular file of one link (not a symbolic link).
bool isPlainFile(const QString &path);

#endif
