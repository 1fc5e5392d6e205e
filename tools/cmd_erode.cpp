#include "commands.h"

#include "erosion/erosion.h"
#include "world/filenames.h"
#include "world/progress.h"

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
                   "(default 1: the Earth's relief). Higher cuts lower, wider valleys."),
    QStringLiteral("K"));

} // namespace

int runErode(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("erode"),
        QStringLiteral("Erodes the land of the world in DIR (base002.dat, as stored) as rivers "
                       "and hillslopes would, raised where it stands high: each land level is "
                       "an uplift rate, up to 1 mm a year at the highest level, growing with the "
                       "level's square; the heights then become levels again in equal steps. "
                       "The coastline and the highest level are kept and every land vertex "
                       "drains to the sea. The old base002.dat is kept as base002.dat.bak."));
    line.parser.addOptions({stepsOption, strengthOption});
    if (const Status parsed = line.parse(arguments); !parsed.ok() || line.helpShown())
        return report(parsed);
    ErosionOptions options;
    const Status read = readErosionOptions(line.parser.value(stepsOption),
                                           line.parser.value(strengthOption), &options);
    if (!read.ok())
        return report(read);
    World world;
    const Status loaded = line.loadWorld(DemoTerrain::Off, &world);
    if (!loaded.ok())
        return reportProblems(loaded);
    Progress progress;
    options.progress = ProgressPart(progress);
    ErosionReport done;
    const Status eroded = erodeWorld(line.dir(), world, options, &done);
    progress.finish(eroded.ok());
    if (!eroded.ok())
        return report(eroded);
    const QString levelsPath = QDir(line.dir()).filePath(QString::fromLatin1(levelsFileName));
    printLines(
        stdout,
        {done.unchanged
             ? QStringLiteral("%1: no land to erode; left as it is").arg(shownName(levelsPath))
             : QStringLiteral("%1: %2 land vertices eroded over %3 steps, levels 1 "
                              "to %4; the old file is %1%5")
                   .arg(shownName(levelsPath))
                   .arg(done.landVertices)
                   .arg(options.steps)
                   .arg(done.topLevel)
                   .arg(QLatin1String(levelsBackupSuffix))});
    return report(eroded);
}
