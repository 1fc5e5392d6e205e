#include "commands.h"

#include "generator/rotate.h"

namespace {

const QCommandLineOption poleOption(QStringLiteral("pole"),
                                    QStringLiteral("The point that becomes the north pole: "
                                                   "latitude -90 to 90, longitude -180 to 180, "
                                                   "in degrees."),
                                    QStringLiteral("LAT,LON"));
const QCommandLineOption turnOption(QStringLiteral("turn"),
                                    QStringLiteral("Then turn the world DEG degrees east about "
                                                   "its new pole, -360 to 360 (default 0)."),
                                    QStringLiteral("DEG"), QStringLiteral("0"));

Status readRotation(const CommandLine &line, RotateOptions &options)
{
    QString pole;
    const Status given = line.required(poleOption, &pole);
    if (!given.ok())
        return given;
    const QStringList parts = pole.split(QLatin1Char(','));
    if (parts.size() != 2 || !numberInRange(parts[0], -90, 90, &options.poleLatitude) ||
        !numberInRange(parts[1], -180, 180, &options.poleLongitude))
        return Status::usage(QStringLiteral("--pole must be LAT,LON with LAT from -90 to 90 and "
                                            "LON from -180 to 180, not '%1'")
                                 .arg(pole));
    const QString turn = line.parser.value(turnOption);
    if (!numberInRange(turn, -360, 360, &options.turn))
        return Status::usage(
            QStringLiteral("--turn must be a number from -360 to 360, not '%1'").arg(turn));
    return Status();
}

} // namespace

int runRotate(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("rotate"),
                     QStringLiteral("Turns the world in DIR so that the point at LAT,LON becomes "
                                    "its north pole, then DEG degrees east about it. Only "
                                    "base003.dat changes: the mesh and the levels stay as they "
                                    "are."));
    line.parser.addOptions({poleOption, turnOption});
    if (const Status parsed = line.parse(arguments); !parsed.ok() || line.helpShown())
        return report(parsed);
    RotateOptions options;
    const Status read = readRotation(line, options);
    if (!read.ok())
        return report(read);
    World world;
    const Status loaded = line.loadWorld(DemoTerrain::Off, &world);
    if (!loaded.ok())
        return reportProblems(loaded);
    const Status turned = rotateWorld(line.dir(), world, options);
    if (turned.ok())
        printLines(stdout, {QStringLiteral("%1: %2 vertices turned, latitude %3, longitude %4 now "
                                           "the north pole, then %5 degrees east")
                                .arg(line.dir())
                                .arg(world.vertexCount)
                                .arg(options.poleLatitude)
                                .arg(options.poleLongitude)
                                .arg(options.turn)});
    return report(turned);
}
