#include "commands.h"

#include "generator/worldgen.h"
#include "relief/earthrelief.h"
#include "world/progress.h"
#include "world/worldwrite.h"

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

// Fills recipe from the options, or says which value is wrong. The
// Earth is a flat world whose levels come from the built-in relief.
Status readRecipe(const QCommandLineParser &parser, WorldRecipe &recipe, bool *earth)
{
    bool ok = false;
    const QString terrain = parser.value(terrainOption);
    *earth = terrain == QLatin1String("earth");
    const QString subdivision = *earth && !parser.isSet(subdivisionOption)
                                    ? QString::number(earthSubdivision)
                                    : parser.value(subdivisionOption);
    recipe.subdivision = subdivision.toInt(&ok);
    if (!ok || recipe.subdivision < 0 || recipe.subdivision > maxSubdivision) {
        return Status::usage(QStringLiteral("--subdivision must be from 0 to %1, not '%2'")
                                 .arg(maxSubdivision)
                                 .arg(subdivision));
    }
    const QString seed = parser.value(seedOption);
    recipe.seed = seed.toUInt(&ok);
    if (!ok) {
        return Status::usage(
            QStringLiteral("--seed must be from 0 to 4294967295, not '%1'").arg(seed));
    }
    if (terrain != QLatin1String("flat") && terrain != QLatin1String("random") && !*earth) {
        return Status::usage(
            QStringLiteral("--terrain must be flat, random or earth, not '%1'").arg(terrain));
    }
    recipe.terrain = terrain == QLatin1String("random") ? WorldRecipe::Random : WorldRecipe::Flat;
    recipe.demo = parser.isSet(demoOption);
    return Status();
}

} // namespace

int runGenerate(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("generate"),
                     QStringLiteral("Generates a world into DIR, creating it when needed: a "
                                    "geodesic sphere of 20 x 4^S triangles and its levels."));
    line.parser.addOptions({subdivisionOption, terrainOption, seedOption, demoOption});
    if (const Status parsed = line.parse(arguments); !parsed.ok() || line.helpShown())
        return report(parsed);
    WorldRecipe recipe;
    bool earth = false;
    const Status parsed = readRecipe(line.parser, recipe, &earth);
    if (!parsed.ok())
        return report(parsed);
    // The steps take about a third of the time each.
    Progress progress;
    World world = generateWorld(recipe);
    progress.update(earth ? 0.3 : 0.5);
    Status made = earth ? layEarthRelief(world) : Status();
    progress.update(earth ? 0.6 : 0.5);
    if (made.ok())
        made = writeWorld(line.dir(), world);
    progress.finish(made.ok());
    if (!made.ok())
        return report(made);
    printLines(stdout, {QStringLiteral("%1: %2 vertices, %3 triangles, subdivision %4")
                            .arg(line.dir())
                            .arg(world.vertexCount)
                            .arg(world.triangleCount)
                            .arg(recipe.subdivision)});
    return report(made);
}
