#include "erosion/plateworld.h"

#include "generator/randomlevels.h"
#include "world/filenames.h"

Status readPlateCount(const QString &text, PlateWorldOptions *options)
{
    bool ok = true;
    if (!text.isEmpty())
        options->plates = text.toInt(&ok);
    if (!ok || options->plates < minPlateCount || options->plates > maxPlateCount)
        return Status::usage(QStringLiteral("--plates must be a whole number from %1 to %2, not "
                                            "'%3'")
                                 .arg(minPlateCount)
                                 .arg(maxPlateCount)
                                 .arg(shownName(text)));
    return Status();
}

World generatePlateWorld(const WorldRecipe &recipe, const PlateWorldOptions &options,
                         std::vector<BoundaryLine> *boundaries, LevelHeights *heights)
{
    WorldRecipe flat = recipe;
    flat.terrain = WorldRecipe::Flat;
    World world = generateWorld(flat);
    const Drainage graph = computeDrainage(world);
    const Plates plates = growPlates(graph, options.plates, recipe.seed);
    const std::vector<double> relief = plateRelief(graph, plates, recipe.seed);
    options.progress.update(0.1);
    const QVector<int> uplift = levelsByRank(relief, relief);
    ErosionOptions erosion = options.erosion;
    erosion.progress = options.progress.part(0.1, 0.95);
    const QVector<int> eroded = erodedLevels(world, uplift, erosion, heights);
    world.levels = eroded;
    if (boundaries)
        *boundaries = boundaryLines(graph, plates);
    options.progress.update(1.0);
    return world;
}
