#include "commands.h"

#include "converters/heightmapimport.h"
#include "world/worldload.h"
#include "world/worldtables.h"

#include <QDir>

namespace {

const QCommandLineOption heightmapOption(QStringLiteral("heightmap"),
                                         QStringLiteral("The grey equirectangular image (8 or "
                                                        "16 bits, twice as wide as high)."),
                                         QStringLiteral("FILE"));

} // namespace

int runImport(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("import"),
                     QStringLiteral("Sets the starting levels of the world in DIR (base002.dat) "
                                    "from a heightmap: each vertex takes round(value x 9 / max) "
                                    "of the pixel holding its direction. The old base002.dat "
                                    "is kept as base002.dat.bak."));
    line.parser.addOption(heightmapOption);
    int status = ExitSuccess;
    QString imagePath;
    if (!line.parse(arguments, &status) || !line.required(heightmapOption, &imagePath, &status) ||
        !line.loadWorldAndLevels(&status))
        return status;
    GreyImage image;
    QString error;
    if (!readGreyMap(imagePath, image, &error) ||
        !writeStartingLevels(line.dir(), levelsFromGreyMap(image, vertexCoords, worldVertexCount),
                             &error)) {
        printLines(stderr, {QStringLiteral("globe-world: ") + error});
        return ExitRefused;
    }
    const QString levels = QDir(line.dir()).filePath(QString::fromLatin1(levelsFileName));
    printLines(stdout, {QStringLiteral("%1: %2 levels from %3; the old file is %1%4")
                            .arg(levels)
                            .arg(worldVertexCount)
                            .arg(imagePath, QLatin1String(levelsBackupSuffix))});
    return ExitSuccess;
}
