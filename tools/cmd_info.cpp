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
    int status = 0;
    World world;
    if (!line.parse(arguments, &status) || !line.loadWorldAndLevels(&world, &status))
        return status;
    printLines(stdout, worldSummary(world.header, world.levels)
                           << describeWater(world) << line.levelsLine(world));
    return status;
}
