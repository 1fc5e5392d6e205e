#include "commands.h"

#include "world/filenames.h"
#include "world/worldload.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cmath>

CommandLine::CommandLine(const QString &name, const QString &description) : name(name)
{
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    // Qt puts the executable's name and "[options]" before this syntax.
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The world folder."),
                                 name + QStringLiteral(" DIR"));
}

Status CommandLine::parse(const QStringList &arguments)
{
    if (!parser.parse(arguments))
        return Status::usage(parser.errorText());
    if (helpAsked(parser)) {
        printLines(stdout, {helpText(parser)});
        helped = true;
        return Status();
    }
    const int given = parser.positionalArguments().size();
    if (given != 1)
        return Status::usage(
            given == 0 ? QStringLiteral("%1: missing DIR").arg(arguments[0])
                       : QStringLiteral("%1: one DIR only, not %2").arg(arguments[0]).arg(given));
    return Status();
}

bool numberInRange(const QString &text, double low, double high, double *value)
{
    bool number = false;
    const double read = text.toDouble(&number);
    if (!number || !std::isfinite(read) || !(read >= low && read <= high))
        return false;
    *value = read;
    return true;
}

bool helpAsked(const QCommandLineParser &parser)
{
    // Qt offers --help-all beside --help; a tool without Qt's own options has
    // nothing more to show for it.
    return parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
}

QString helpText(const QCommandLineParser &parser)
{
    // Qt's usage line names the program as it was invoked, often a long path.
    QString text = parser.helpText().trimmed();
    const QString invoked = QCoreApplication::arguments().value(0);
    if (!invoked.isEmpty())
        text.replace(text.indexOf(invoked), invoked.size(), QStringLiteral("globe-world"));
    return text;
}

void printLines(FILE *to, const QStringList &lines)
{
    for (const QString &line : lines) {
        std::fputs(line.toLocal8Bit().constData(), to);
        std::fputc('\n', to);
    }
}

int usageError(const QString &message)
{
    return report(Status::usage(message));
}

int reportProblems(const Status &status)
{
    printLines(stderr, status.lines());
    return exitStatus(status);
}

int report(const Status &status)
{
    for (const QString &line : status.lines())
        printLines(stderr, {QStringLiteral("globe-world: ") + line});
    return exitStatus(status);
}

namespace {

const QCommandLineOption levelsOption(QStringLiteral("levels"),
                                      QStringLiteral("Take the levels from FILE (a save.dat: "
                                                     "one level per vertex) instead of the "
                                                     "world's base002.dat."),
                                      QStringLiteral("FILE"));
const QCommandLineOption demoOption(QStringLiteral("demo"),
                                    QStringLiteral("Lay the built-in demo terrain over the "
                                                   "levels, as the editor does at start when "
                                                   "demo.txt is not 0. Without it the levels are "
                                                   "taken as stored, whatever demo.txt says."));

} // namespace

void CommandLine::addLevelOptions()
{
    parser.addOptions({levelsOption, demoOption});
    levelOptions = true;
}

Status CommandLine::loadWorld(DemoTerrain demo, World *world) const
{
    // Without this, a mistyped folder reads as five missing files.
    if (!QFileInfo(dir()).isDir())
        return Status::refused(
            QStringLiteral("globe-world: %1: no such folder").arg(shownName(dir())));
    return ::loadWorld(dir(), demo, world);
}

Status CommandLine::loadWorldAndLevels(World *world) const
{
    const Status loaded = loadWorld(DemoTerrain::Off, world);
    reportProblems(loaded);
    return loaded.ok() ? applyLevelOptions(*world) : loaded;
}

Status CommandLine::applyLevelOptions(World &world) const
{
    if (!levelOptions)
        return Status();
    LevelSource source;
    source.file = parser.value(levelsOption);
    source.demo = parser.isSet(demoOption);
    const Status taken = takeLevels(source, world);
    report(taken);
    return taken;
}

QString CommandLine::levelsLine(const World &world) const
{
    QString line = QStringLiteral("levels: %1")
                       .arg(parser.isSet(levelsOption) ? parser.value(levelsOption)
                                                       : QString::fromLatin1(levelsFileName));
    if (parser.isSet(demoOption))
        return line + QStringLiteral(" with the demo terrain");
    line += QStringLiteral(" as stored");
    if (world.demoFlag != 0)
        line += QStringLiteral(" (demo.txt is on: add --demo to match the editor's start)");
    return line;
}

Status CommandLine::required(const QCommandLineOption &option, QString *value) const
{
    if (!parser.isSet(option))
        return Status::usage(QStringLiteral("%1: missing --%2 %3")
                                 .arg(name, option.names().constFirst(), option.valueName()));
    *value = parser.value(option);
    return Status();
}
