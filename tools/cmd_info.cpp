#include "commands.h"

#include "world/meshcheck.h"
#include "world/worldtables.h"

int runInfo(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("info"),
                     QStringLiteral("Describes the world in DIR: counts, subdivision and the "
                                    "share of vertices at each level. Refuses a world the editor "
                                    "would refuse."));
    int status = ExitSuccess;
    if (!line.parse(arguments, &status))
        return status;
    if (!loadAcceptedWorld(line.dir()))
        return ExitRefused;
    printLines(stdout, worldSummary(worldHeader, vertexLevels));
    return ExitSuccess;
}
