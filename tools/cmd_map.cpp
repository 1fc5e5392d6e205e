#include "commands.h"

#include "converters/worldmap.h"
#include "world/worldtables.h"

namespace {

const QCommandLineOption pngOption(QStringLiteral("png"), QStringLiteral("The PNG file to write."),
                                   QStringLiteral("FILE"));
const QCommandLineOption widthOption(QStringLiteral("width"),
                                     QStringLiteral("Width W in pixels, even, from 2 to %1 "
                                                    "(default %2); the map is W / 2 high.")
                                         .arg(maxMapWidth)
                                         .arg(defaultMapWidth),
                                     QStringLiteral("W"), QString::number(defaultMapWidth));
const QCommandLineOption heightmapOption(QStringLiteral("heightmap"),
                                         QStringLiteral("Write a 16-bit grey heightmap instead: "
                                                        "level L as round(L x 65535 / 9), from "
                                                        "the nearest corner."));

bool readWidth(const QString &text, int *width)
{
    bool ok = false;
    *width = text.toInt(&ok);
    if (ok && *width >= 2 && *width <= maxMapWidth && *width % 2 == 0)
        return true;
    usageError(QStringLiteral("--width must be an even number from 2 to %1, not '%2'")
                   .arg(maxMapWidth)
                   .arg(text));
    return false;
}

} // namespace

int runMap(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("map"),
                     QStringLiteral("Draws the globe of the world in DIR as an equirectangular "
                                    "map: column x at azimuth 2 pi (x + 0.5) / W from +y towards "
                                    "+x, row y at polar angle pi (y + 0.5) / H from the north "
                                    "pole. Each pixel has the colour the editor shows there."));
    line.addLevelOptions();
    line.parser.addOptions({pngOption, widthOption, heightmapOption});
    int status = ExitSuccess;
    QString png;
    int width = 0;
    if (!line.parse(arguments, &status) || !line.required(pngOption, &png, &status))
        return status;
    if (!readWidth(line.parser.value(widthOption), &width))
        return ExitUsage;
    if (!line.loadWorldAndLevels(&status))
        return status;
    const DrawnMesh mesh = drawnMesh(vertexLevels);
    int unrestorable = 0;
    const QImage image = line.parser.isSet(heightmapOption)
                             ? renderHeightmap(mesh, width, &unrestorable)
                             : renderColourMap(mesh, width);
    if (!writeOutput(png, pngBytes(image)))
        return ExitRefused;
    if (unrestorable > 0)
        printLines(stderr, {QStringLiteral("globe-world: note: %1 vertices share a pixel with a "
                                           "vertex of another level; importing this map will "
                                           "not restore them (use a wider map)")
                                .arg(unrestorable)});
    printLines(stdout, {QStringLiteral("%1: %2 x %3 pixels").arg(png).arg(width).arg(width / 2),
                        line.levelsLine()});
    return ExitSuccess;
}
