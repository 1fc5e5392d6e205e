#include "commands.h"

#include "erosion/plateworld.h"
#include "generator/worldgen.h"
#include "maps/boundaryfiles.h"
#include "relief/earthrelief.h"
#include "world/filenames.h"
#include "world/progress.h"
#include "world/worldwrite.h"

#include <QDir>

namespace {

const QCommandLineOption subdivisionOption(QStringLiteral("subdivision"),
                                           QStringLiteral("Subdivision level, 0 to 8 "
                                                          "(default 4: 2562 vertices; 6 for the "
                                                          "Earth: 40962)."),
                                           QStringLiteral("S"), QStringLiteral("4"));
const QCommandLineOption terrainOption(QStringLiteral("terrain"),
                                       QStringLiteral("flat (all sea), random continents "
                                                      "(default), plates (continents raised by "
                                                      "plate tectonics and carved by rivers, as "
                                                      "erode carves them) or the real Earth."),
                                       QStringLiteral("flat|random|plates|earth"),
                                       QStringLiteral("random"));
const int earthSubdivision = 6;
const QCommandLineOption seedOption(QStringLiteral("seed"),
                                    QStringLiteral("Seed of the random levels, 0 to 4294967295 "
                                                   "(default 1)."),
                                    QStringLiteral("N"), QStringLiteral("1"));
const QCommandLineOption demoOption(QStringLiteral("demo"),
                                    QStringLiteral("Turn on the built-in demo terrain around the "
                                                   "pole."));
const QCommandLineOption platesOption(QStringLiteral("plates"),
                                      QStringLiteral("With --terrain plates: the number of "
                                                     "plates, 2 to 100 (default 12)."),
                                      QStringLiteral("N"));
const QCommandLineOption boundariesOption(
    QStringLiteral("boundaries"),
    QStringLiteral("With --terrain plates: also write the plate boundaries to FILE, LineStrings "
                   "in WGS 84 with a field kind (convergent, divergent or transform): .gpkg a "
                   "GeoPackage (layer boundaries), .geojson GeoJSON."),
    QStringLiteral("FILE"));
const QCommandLineOption overwriteOption(QStringLiteral("overwrite"),
                                         QStringLiteral("Replace the world DIR holds. Its "
                                                        "save.dat is kept, and named when it "
                                                        "does not fit the new world."));

// A user's world is their work: it is replaced only when they say so.
Status refuseToReplace(const QString &dir)
{
    const QStringList found = worldFilesIn(dir);
    if (found.isEmpty())
        return Status();
    return Status::refused(dir, QStringLiteral("holds a world already (%1); add --overwrite to "
                                               "replace it")
                                    .arg(found.join(QStringLiteral(", "))));
}

// The save of the replaced world, which the editor's restore would refuse.
QStringList staleSave(const QString &dir, const World &world)
{
    const QString save = QDir(dir).filePath(QString::fromLatin1(saveFileName));
    if (!worldFilesIn(dir).contains(QString::fromLatin1(saveFileName)))
        return {};
    QVector<int> levels;
    const Status fits = readLevelTable(save, world.vertexCount, levels);
    if (fits.ok())
        return {};
    return {QStringLiteral("%1 (kept: it does not fit the new world, so the editor will not "
                           "restore it)")
                .arg(fits.message())};
}

// Fills recipe from the options, or says which value is wrong. The
// Earth is a flat world whose levels come from the built-in relief.
Status readRecipe(const QCommandLineParser &parser, WorldRecipe &recipe, bool *earth, bool *plates)
{
    bool ok = false;
    const QString terrain = parser.value(terrainOption);
    *earth = terrain == QLatin1String("earth");
    *plates = terrain == QLatin1String("plates");
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
    if (terrain != QLatin1String("flat") && terrain != QLatin1String("random") && !*earth &&
        !*plates) {
        return Status::usage(
            QStringLiteral("--terrain must be flat, random, plates or earth, not '%1'")
                .arg(terrain));
    }
    if (!*plates && (parser.isSet(platesOption) || parser.isSet(boundariesOption)))
        return Status::usage(QStringLiteral("--plates and --boundaries go with --terrain plates"));
    recipe.terrain = terrain == QLatin1String("random") ? WorldRecipe::Random : WorldRecipe::Flat;
    recipe.demo = parser.isSet(demoOption);
    return Status();
}

// The plates' options, the boundaries' file name checked before any work.
Status readPlates(const QCommandLineParser &parser, PlateWorldOptions &options)
{
    const Status count = readPlateCount(parser.value(platesOption), &options);
    if (!count.ok() || !parser.isSet(boundariesOption))
        return count;
    return checkBoundaryFileName(parser.value(boundariesOption));
}

} // namespace

int runGenerate(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("generate"),
                     QStringLiteral("Generates a world into DIR, creating it when needed: a "
                                    "geodesic sphere of 20 x 4^S triangles and its levels."));
    line.parser.addOptions({subdivisionOption, terrainOption, seedOption, platesOption,
                            boundariesOption, demoOption, overwriteOption});
    if (const Status parsed = line.parse(arguments); !parsed.ok() || line.helpShown())
        return report(parsed);
    WorldRecipe recipe;
    bool earth = false, plates = false;
    PlateWorldOptions plateOptions;
    Status parsed = readRecipe(line.parser, recipe, &earth, &plates);
    if (parsed.ok() && plates)
        parsed = readPlates(line.parser, plateOptions);
    if (parsed.ok() && !line.parser.isSet(overwriteOption))
        parsed = refuseToReplace(line.dir());
    if (!parsed.ok())
        return report(parsed);
    // The steps take about a third of the time each.
    Progress progress;
    plateOptions.progress = ProgressPart(progress).part(0, 0.9);
    std::vector<BoundaryLine> boundaries;
    World world =
        plates ? generatePlateWorld(recipe, plateOptions, &boundaries) : generateWorld(recipe);
    progress.update(earth ? 0.3 : plates ? 0.9 : 0.5);
    Status made = earth ? layEarthRelief(world) : Status();
    progress.update(earth ? 0.6 : 0.5);
    if (made.ok())
        made = writeWorld(line.dir(), world);
    if (made.ok() && line.parser.isSet(boundariesOption))
        made = writeBoundaryFile(line.parser.value(boundariesOption), boundaries);
    progress.finish(made.ok());
    if (!made.ok())
        return report(made);
    printLines(stdout, QStringList{QStringLiteral("%1: %2 vertices, %3 triangles, subdivision %4")
                                       .arg(shownName(line.dir()))
                                       .arg(world.vertexCount)
                                       .arg(world.triangleCount)
                                       .arg(recipe.subdivision)}
                           << staleSave(line.dir(), world));
    return report(made);
}
