#include "commands.h"

#include "generator/meshcheck.h"
#include "world/progress.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

namespace {

const QCommandLineOption guiOption(QStringLiteral("gui"),
                                   QStringLiteral("Also show the problems in a message box, when "
                                                  "there is a display."));

// Started from a desktop menu, the user has no terminal: the box is where
// they learn why the world does not open. main() makes a QApplication only
// when a box can be shown.
void showRefusal(const QString &dir, const QStringList &problems)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    const int shown = 12;
    QStringList lines = problems.mid(0, shown);
    if (problems.size() > shown)
        lines << QStringLiteral("... and %1 more, listed under Show Details.")
                     .arg(problems.size() - shown);
    const QString where = QDir::toNativeSeparators(QFileInfo(dir).absoluteFilePath());
    // Plain text: a folder or file name must not be read as markup.
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Globe: world refused"),
                    QStringLiteral("The world in %1 cannot be opened:\n\n%2")
                        .arg(where, lines.join(QLatin1Char('\n'))));
    box.setTextFormat(Qt::PlainText);
    if (problems.size() > shown)
        box.setDetailedText(problems.join(QLatin1Char('\n')));
    box.exec();
}

} // namespace

int runCheck(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("check"),
                     QStringLiteral("Checks the world in DIR as the editor does, then the mesh: "
                                    "orientation, outlines and fan order. Prints the problems on "
                                    "stderr, or a summary when there are none."));
    line.addLevelOptions();
    line.parser.addOption(guiOption);
    if (const Status parsed = line.parse(arguments); !parsed.ok() || line.helpShown())
        return report(parsed);
    Progress progress;
    World world;
    Status checked = line.loadWorld(DemoTerrain::Off, &world);
    if (checked.ok()) {
        progress.update(0.5);
        const QStringList problems =
            checkMeshProperties(world.header, world.coords, world.corners, world.fans);
        if (!problems.isEmpty())
            checked = Status::refused(problems);
    }
    progress.finish(checked.ok());
    if (!checked.ok()) {
        const int status = reportProblems(checked);
        if (line.parser.isSet(guiOption))
            showRefusal(line.dir(), checked.lines());
        return status;
    }
    if (const Status taken = line.applyLevelOptions(world); !taken.ok())
        return exitStatus(taken);
    printLines(stdout, worldSummary(world.header, world.levels) << line.levelsLine(world));
    return 0;
}
