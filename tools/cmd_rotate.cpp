#include "commands.h"

#include "generator/rotate.h"
#include "world/filenames.h"

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

class RotateJob : public Job
{
public:
    void define(CommandLine &line) override
    {
        line.describe(QStringLiteral("Turns the world in DIR so that the point at LAT,LON "
                                     "becomes its north pole, then DEG degrees east about it. "
                                     "Only base003.dat changes: the mesh and the levels stay as "
                                     "they are."));
        line.addOptions({poleOption, turnOption});
    }

    Status read(const OptionTexts &given) override { return checkRotateOptions(given, &options); }

    Status run(const Call &call, Summary &summary) override
    {
        const Status turned = rotateWorld(call.dir, call.world, options);
        summary.out(QStringLiteral("%1: %2 vertices turned, latitude %3, longitude %4 now the "
                                   "north pole, then %5 degrees east")
                        .arg(shownName(call.dir))
                        .arg(call.world.vertexCount)
                        .arg(options.poleLatitude)
                        .arg(options.poleLongitude)
                        .arg(options.turn));
        return turned;
    }

private:
    RotateOptions options;
};

} // namespace

std::unique_ptr<Job> makeRotate()
{
    return std::make_unique<RotateJob>();
}
