#include "commands.h"

#include "generator/meshcheck.h"
#include "water/rivers.h"

int runInfo(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("info"),
                     QStringLiteral("Describes the world in DIR: counts, subdivision and the "
                                    "share of vertices at each level. Refuses a world the editor "
                                    "would refuse."));
    line.addLevelOptions();
    if (const Status parsed = line.parse(arguments); !parsed.ok() || line.helpShown())
        return report(parsed);
    World world;
    if (const Status loaded = line.loadWorldAndLevels(&world); !loaded.ok())
        return exitStatus(loaded);
    printLines(stdout, worldSummary(world.header, world.levels)
                           << describeWater(world) << line.levelsLine(world));
    return 0;
}
