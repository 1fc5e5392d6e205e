#include "commands.h"

#include "converters/drawnmesh.h"
#include "converters/earthrelief.h"
#include "generator/worldgen.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldtables.h"

#include <QDir>

namespace {

const QCommandLineOption subdivisionOption(QStringLiteral("subdivision"),
                                           QStringLiteral("Subdivision level, 0 to 8 "
                                                          "(default 4: 2562 vertices; 6 for the "
                                                          "Earth: 40962)."),
                                           QStringLiteral("S"), QStringLiteral("4"));
const QCommandLineOption terrainOption(QStringLiteral("terrain"),
                                       QStringLiteral("flat (all sea), random continents "
                                                      "(default) or the real Earth."),
                                       QStringLiteral("flat|random|earth"),
                                       QStringLiteral("random"));
const int earthSubdivision = 6;
const QCommandLineOption seedOption(QStringLiteral("seed"),
                                    QStringLiteral("Seed of the random levels, 0 to 4294967295 "
                                                   "(default 1)."),
                                    QStringLiteral("N"), QStringLiteral("1"));
const QCommandLineOption demoOption(QStringLiteral("demo"),
                                    QStringLiteral("Turn on the built-in demo terrain around the "
                                                   "pole."));

// Fills recipe from the options; false after reporting a bad value. The
// Earth is a flat world whose levels come from the built-in relief.
bool readRecipe(const QCommandLineParser &parser, WorldRecipe &recipe, bool *earth)
{
    bool ok = false;
    const QString terrain = parser.value(terrainOption);
    *earth = terrain == QLatin1String("earth");
    const QString subdivision = *earth && !parser.isSet(subdivisionOption)
                                    ? QString::number(earthSubdivision)
                                    : parser.value(subdivisionOption);
    recipe.subdivision = subdivision.toInt(&ok);
    if (!ok || recipe.subdivision < 0 || recipe.subdivision > maxSubdivision) {
        usageError(QStringLiteral("--subdivision must be from 0 to %1, not '%2'")
                       .arg(maxSubdivision)
                       .arg(subdivision));
        return false;
    }
    const QString seed = parser.value(seedOption);
    recipe.seed = seed.toUInt(&ok);
    if (!ok) {
        usageError(QStringLiteral("--seed must be from 0 to 4294967295, not '%1'").arg(seed));
        return false;
    }
    if (terrain != QLatin1String("flat") && terrain != QLatin1String("random") && !*earth) {
        usageError(
            QStringLiteral("--terrain must be flat, random or earth, not '%1'").arg(terrain));
        return false;
    }
    recipe.terrain = terrain == QLatin1String("random") ? WorldRecipe::Random : WorldRecipe::Flat;
    recipe.demo = parser.isSet(demoOption);
    return true;
}

// Lays the built-in Earth relief over the flat world just written in dir,
// through the loader, as an import would.
bool writeEarthLevels(const QString &dir, QString *error)
{
    const QStringList problems = loadWorldProblems(dir);
    if (!problems.isEmpty()) {
        *error = problems.constFirst();
        return false;
    }
    QVector<int> levels;
    return earthLevels(drawnMesh(vertexLevels), levels, error) &&
           writeIntTable(QDir(dir).filePath(QString::fromLatin1(levelsFileName)), levels, error);
}

} // namespace

int runGenerate(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("generate"),
                     QStringLiteral("Generates a world into DIR, creating it when needed: a "
                                    "geodesic sphere of 20 x 4^S triangles and its levels."));
    line.parser.addOptions({subdivisionOption, terrainOption, seedOption, demoOption});
    int status = ExitSuccess;
    if (!line.parse(arguments, &status))
        return status;
    WorldRecipe recipe;
    bool earth = false;
    if (!readRecipe(line.parser, recipe, &earth))
        return ExitUsage;
    const WorldData world = generateWorld(recipe);
    QString error;
    if (!writeWorld(line.dir(), world, &error) ||
        (earth && !writeEarthLevels(line.dir(), &error))) {
        printLines(stderr, {QStringLiteral("globe-world: ") + error});
        return ExitRefused;
    }
    printLines(stdout, {QStringLiteral("%1: %2 vertices, %3 triangles, subdivision %4")
                            .arg(line.dir())
                            .arg(world.header[10])
                            .arg(world.corners.size() / 4)
                            .arg(recipe.subdivision)});
    return ExitSuccess;
}
