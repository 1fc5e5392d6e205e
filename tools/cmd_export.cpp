#include "commands.h"

#include "converters/meshexport.h"
#include "world/worldtables.h"

namespace {

const QCommandLineOption plyOption(QStringLiteral("ply"),
                                   QStringLiteral("Write a binary PLY file (MeshLab, Blender): "
                                                  "positions, sRGB colours and levels."),
                                   QStringLiteral("FILE"));
const QCommandLineOption objOption(QStringLiteral("obj"),
                                   QStringLiteral("Write a Wavefront OBJ file with vertex "
                                                  "colours (v x y z r g b)."),
                                   QStringLiteral("FILE"));

} // namespace

int runExport(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("export"),
                     QStringLiteral("Writes the globe of the world in DIR as the editor draws it: "
                                    "every corner at its level's height and in its level's "
                                    "colour (8-bit sRGB, as the editor's framebuffer holds "
                                    "it). Each file is replaced whole or not at all."));
    line.addLevelOptions();
    line.parser.addOptions({plyOption, objOption});
    int status = ExitSuccess;
    if (!line.parse(arguments, &status))
        return status;
    const QString ply = line.parser.value(plyOption), obj = line.parser.value(objOption);
    if (ply.isEmpty() && obj.isEmpty())
        return usageError(QStringLiteral("export: give --ply FILE, --obj FILE or both"));
    if (!line.loadWorldAndLevels(&status))
        return status;
    const DrawnMesh mesh = drawnMesh(vertexLevels);
    if ((!ply.isEmpty() && !writeOutput(ply, encodePly(mesh))) ||
        (!obj.isEmpty() && !writeOutput(obj, encodeObj(mesh))))
        return ExitRefused;
    printLines(stdout, {QStringLiteral("%1 vertices, %2 triangles written")
                            .arg(mesh.vertexCount())
                            .arg(mesh.triangleCount()),
                        line.levelsLine()});
    return ExitSuccess;
}
