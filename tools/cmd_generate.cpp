#include "commands.h"

#include "generator/worldgen.h"

namespace {

const QCommandLineOption subdivisionOption(QStringLiteral("subdivision"),
                                           QStringLiteral("Subdivision level, 0 to 8 "
                                                          "(default 4: 2562 vertices)."),
                                           QStringLiteral("S"), QStringLiteral("4"));
const QCommandLineOption terrainOption(QStringLiteral("terrain"),
                                       QStringLiteral("flat (all sea) or random continents "
                                                      "(default)."),
                                       QStringLiteral("flat|random"), QStringLiteral("random"));
const QCommandLineOption seedOption(QStringLiteral("seed"),
                                    QStringLiteral("Seed of the random levels, 0 to 4294967295 "
                                                   "(default 1)."),
                                    QStringLiteral("N"), QStringLiteral("1"));
const QCommandLineOption demoOption(QStringLiteral("demo"),
                                    QStringLiteral("Turn on the built-in demo terrain around the "
                                                   "pole."));

// Fills recipe from the options; false after reporting a bad value.
bool readRecipe(const QCommandLineParser &parser, WorldRecipe &recipe)
{
    bool ok = false;
    const QString subdivision = parser.value(subdivisionOption);
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
    const QString terrain = parser.value(terrainOption);
    if (terrain != QLatin1String("flat") && terrain != QLatin1String("random")) {
        usageError(QStringLiteral("--terrain must be flat or random, not '%1'").arg(terrain));
        return false;
    }
    recipe.terrain = terrain == QLatin1String("flat") ? WorldRecipe::Flat : WorldRecipe::Random;
    recipe.demo = parser.isSet(demoOption);
    return true;
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
    if (!readRecipe(line.parser, recipe))
        return ExitUsage;
    const WorldData world = generateWorld(recipe);
    QString error;
    if (!writeWorld(line.dir(), world, &error)) {
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
