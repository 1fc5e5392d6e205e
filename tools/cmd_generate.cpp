#include "commands.h"

#include "world/worldgen.h"

namespace {

const QCommandLineOption subdivisionOption(QStringLiteral("subdivision"),
                                           QStringLiteral("Subdivision level, 0 to 8 "
                                                          "(default 4: 2562 vertices)."),
                                           QStringLiteral("S"), QStringLiteral("4"));
const QCommandLineOption levelsOption(QStringLiteral("levels"),
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

// Fills spec from the options; false after reporting a bad value.
bool readSpec(const QCommandLineParser &parser, WorldSpec &spec)
{
    bool ok = false;
    const QString subdivision = parser.value(subdivisionOption);
    spec.subdivision = subdivision.toInt(&ok);
    if (!ok || spec.subdivision < 0 || spec.subdivision > maxSubdivision) {
        usageError(QStringLiteral("--subdivision must be from 0 to %1, not '%2'")
                       .arg(maxSubdivision)
                       .arg(subdivision));
        return false;
    }
    const QString seed = parser.value(seedOption);
    spec.seed = seed.toUInt(&ok);
    if (!ok) {
        usageError(QStringLiteral("--seed must be from 0 to 4294967295, not '%1'").arg(seed));
        return false;
    }
    const QString levels = parser.value(levelsOption);
    if (levels != QLatin1String("flat") && levels != QLatin1String("random")) {
        usageError(QStringLiteral("--levels must be flat or random, not '%1'").arg(levels));
        return false;
    }
    spec.levels = levels == QLatin1String("flat") ? WorldSpec::Flat : WorldSpec::Random;
    spec.demo = parser.isSet(demoOption);
    return true;
}

} // namespace

int runGenerate(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("generate"),
                     QStringLiteral("Generates a world into DIR, creating it when needed: a "
                                    "geodesic sphere of 20 x 4^S triangles and its levels."));
    line.parser.addOptions({subdivisionOption, levelsOption, seedOption, demoOption});
    int status = ExitSuccess;
    if (!line.parse(arguments, &status))
        return status;
    WorldSpec spec;
    if (!readSpec(line.parser, spec))
        return ExitUsage;
    const WorldData world = generateWorld(spec);
    QString error;
    if (!writeWorld(line.dir(), world, &error)) {
        printLines(stderr, {QStringLiteral("globe-world: ") + error});
        return ExitRefused;
    }
    printLines(stdout, {QStringLiteral("%1: %2 vertices, %3 triangles, subdivision %4")
                            .arg(line.dir())
                            .arg(world.header[10])
                            .arg(world.corners.size() / 4)
                            .arg(spec.subdivision)});
    return ExitSuccess;
}
