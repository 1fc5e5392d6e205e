#include "commands.h"

#include "world/meshcheck.h"
#include "world/worldtables.h"

int runCheck(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("check"),
                     QStringLiteral("Checks the world in DIR as the editor does, then the mesh: "
                                    "orientation, outlines and fan order. Prints the problems on "
                                    "stderr, or a summary when there are none."));
    int status = ExitSuccess;
    if (!line.parse(arguments, &status))
        return status;
    if (!loadAcceptedWorld(line.dir()))
        return ExitRefused;
    const QStringList problems =
        checkMeshProperties(worldHeader, vertexCoords, triangleCorners, vertexFans);
    if (!problems.isEmpty()) {
        printLines(stderr, problems);
        return ExitRefused;
    }
    printLines(stdout, worldSummary(worldHeader, vertexLevels));
    return ExitSuccess;
}
