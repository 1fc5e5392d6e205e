#include "commands.h"

#include "erosion/erosion.h"
#include "world/filenames.h"
#include "world/levelstore.h"
#include "world/worldload.h"

#include <QDir>

namespace {

const QCommandLineOption stepsOption(
    QStringLiteral("steps"),
    QStringLiteral("Time steps of 200,000 years each, 1 to 1000 (default 50: ten million years, "
                   "near the steady state of uplift and erosion)."),
    QStringLiteral("N"));
const QCommandLineOption strengthOption(
    QStringLiteral("strength"),
    QStringLiteral("The rivers' erodibility as a multiple of 2e-6 per year, above 0 up to 100 "
                   "(default 1). Higher carves faster, towards the same steady state."),
    QStringLiteral("K"));

class ErodeJob : public Job
{
public:
    void define(CommandLine &line) override
    {
        line.describe(QStringLiteral(
            "Erodes the land of the world in DIR (base002.dat, as stored) as rivers and "
            "hillslopes would, raised where it stands high: each land level is an uplift rate, "
            "up to 1 mm a year at the highest level, growing with the level's square. The "
            "heights then become levels again by the world's own hypsometry: as many vertices "
            "on each level as before. The coastline and the highest level are kept and every "
            "land vertex drains to the sea. The old base002.dat is kept as base002.dat.bak."));
        line.addOptions({stepsOption, strengthOption});
    }

    Status read(const OptionTexts &given) override { return checkErosionOptions(given, &options); }

    Status run(const Call &call, Summary &summary) override
    {
        options.progress = ProgressPart(call.progress);
        ErosionReport done;
        const Status eroded = erodeWorld(call.dir, call.world, options, &done);
        const QString levels = QDir(call.dir).filePath(QString::fromLatin1(levelsFileName));
        if (done.unchanged)
            summary.out(
                QStringLiteral("%1: no land to erode; left as it is").arg(shownName(levels)));
        else
            summary.out(QStringLiteral("%1: %2 land vertices eroded over %3 steps, levels 1 to "
                                       "%4; the old file is %1%5")
                            .arg(shownName(levels))
                            .arg(done.landVertices)
                            .arg(options.steps)
                            .arg(done.topLevel)
                            .arg(QLatin1String(levelsBackupSuffix)));
        return eroded;
    }

private:
    ErosionOptions options;
};

} // namespace

std::unique_ptr<Job> makeErode()
{
    return std::make_unique<ErodeJob>();
}
