#include "commands.h"

#include "world/meshcheck.h"
#include "world/worldtables.h"

int runCheck(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("check"),
                     QStringLiteral("Checks the world in DIR as the editor does, then the mesh: "
                                    "orientation, outlines and fan order. Prints the problems on "
                                    "stderr, or a summary when there are none."));
    line.addLevelOptions();
    int status = ExitSuccess;
    if (!line.parse(arguments, &status) || !line.loadWorld(&status))
        return status;
    const QStringList problems =
        checkMeshProperties(worldHeader, vertexCoords, triangleCorners, vertexFans);
    if (!problems.isEmpty()) {
        printLines(stderr, problems);
        return ExitRefused;
    }
    printLines(stdout, worldSummary(worldHeader, vertexLevels) << line.levelsLine());
    return ExitSuccess;
}
