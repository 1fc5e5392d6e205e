#include "commands.h"

#include "generator/meshcheck.h"
#include "world/worldtables.h"

int runInfo(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("info"),
                     QStringLiteral("Describes the world in DIR: counts, subdivision and the "
                                    "share of vertices at each level. Refuses a world the editor "
                                    "would refuse."));
    line.addLevelOptions();
    int status = ExitSuccess;
    if (!line.parse(arguments, &status) || !line.loadWorldAndLevels(&status))
        return status;
    printLines(stdout, worldSummary(worldHeader, vertexLevels) << line.levelsLine());
    return ExitSuccess;
}
