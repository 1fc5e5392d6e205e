#include "relief/newworld.h"

#include "maps/boundaryfiles.h"
#include "relief/earthrelief.h"
#include "world/filenames.h"
#include "world/levelstore.h"
#include "world/worldwrite.h"

#include <QDir>

namespace {

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
QString staleSave(const QString &dir, const World &world)
{
    const QString save = QDir(dir).filePath(QString::fromLatin1(saveFileName));
    if (!worldFilesIn(dir).contains(QString::fromLatin1(saveFileName)))
        return QString();
    QVector<int> levels;
    const Status fits = readLevelTable(save, world.vertexCount, levels);
    if (fits.ok())
        return QString();
    return QStringLiteral("%1 (kept: it does not fit the new world, so the editor will not "
                          "restore it)")
        .arg(fits.message());
}

// --plates and --boundaries, which only a plates world takes.
Status checkPlateOptions(const OptionTexts &given, NewWorldOptions *options)
{
    const bool count = given.isSet(QStringLiteral("plates"));
    const bool boundaries = given.isSet(QStringLiteral("boundaries"));
    if (!options->plates)
        return count || boundaries ? Status::usage(QStringLiteral("--plates and --boundaries go "
                                                                  "with --terrain plates"))
                                   : Status();
    if (const Status read = readPlateCount(
            count ? given.value(QStringLiteral("plates")) : QString(), &options->plateWorld);
        !read.ok())
        return read;
    if (!boundaries)
        return Status();
    options->boundaries = given.value(QStringLiteral("boundaries"));
    return checkBoundaryFileName(options->boundaries);
}

} // namespace

Status checkNewWorldOptions(const OptionTexts &given, NewWorldOptions *options)
{
    WorldRecipe &recipe = options->recipe;
    bool ok = false;
    const QString terrain = given.value(QStringLiteral("terrain"));
    options->earth = terrain == QLatin1String("earth");
    const QString subdivision = options->earth && !given.isSet(QStringLiteral("subdivision"))
                                    ? QString::number(earthSubdivision)
                                    : given.value(QStringLiteral("subdivision"));
    recipe.subdivision = subdivision.toInt(&ok);
    if (!ok || recipe.subdivision < 0 || recipe.subdivision > maxSubdivision) {
        return Status::usage(QStringLiteral("--subdivision must be from 0 to %1, not '%2'")
                                 .arg(maxSubdivision)
                                 .arg(shownName(subdivision)));
    }
    const QString seed = given.value(QStringLiteral("seed"));
    recipe.seed = seed.toUInt(&ok);
    if (!ok) {
        return Status::usage(
            QStringLiteral("--seed must be from 0 to 4294967295, not '%1'").arg(shownName(seed)));
    }
    options->plates = terrain == QLatin1String("plates");
    if (terrain != QLatin1String("flat") && terrain != QLatin1String("random") && !options->earth &&
        !options->plates) {
        return Status::usage(
            QStringLiteral("--terrain must be flat, random, plates or earth, not '%1'")
                .arg(shownName(terrain)));
    }
    if (const Status plates = checkPlateOptions(given, options); !plates.ok())
        return plates;
    recipe.terrain = terrain == QLatin1String("random") ? WorldRecipe::Random : WorldRecipe::Flat;
    recipe.demo = given.isSet(QStringLiteral("demo"));
    options->overwrite = given.isSet(QStringLiteral("overwrite"));
    return Status();
}

Status makeWorld(const NewWorldOptions &options, NewWorldReport *report,
                 const ProgressPart &progress)
{
    if (!options.overwrite) {
        if (const Status free = refuseToReplace(options.dir); !free.ok())
            return free;
    }
    // The steps take about a third of the time each.
    std::vector<BoundaryLine> boundaries;
    PlateWorldOptions plateWorld = options.plateWorld;
    plateWorld.progress = progress.part(0, 0.9);
    World world = options.plates ? generatePlateWorld(options.recipe, plateWorld, &boundaries)
                                 : generateWorld(options.recipe);
    progress.update(options.earth ? 0.3 : options.plates ? 0.9 : 0.5);
    Status made = options.earth ? layEarthRelief(world) : Status();
    progress.update(options.earth ? 0.6 : 0.5);
    if (made.ok())
        made = writeWorld(options.dir, world);
    if (made.ok() && !options.boundaries.isEmpty())
        made = writeBoundaryFile(options.boundaries, boundaries);
    if (!made.ok())
        return made;
    report->vertices = world.vertexCount;
    report->triangles = world.triangleCount;
    report->staleSave = staleSave(options.dir, world);
    return made;
}
