// globe-world: the world files' command-line tool. Each subcommand lives in
// its own cmd_*.cpp; this file finds it, loads what it needs, runs it and
// reports.
#include "commands.h"
#include "refusalbox.h"

#include "world/filenames.h"
#include "world/worldload.h"

#include <QApplication>
#include <QFileInfo>

#include <cstring>
#include <iterator>
#include <memory>
#include <new>

namespace {

const Command commands[] = {
    {"generate", "Generate a new world into a folder.", Needs::Folder, makeGenerate},
    {"check", "Check a world as the editor does, then its mesh.", Needs::Levels, makeCheck},
    {"info", "Describe a world: counts and land and sea.", Needs::Levels, makeInfo},
    {"export", "Write the drawn globe as 3D files: glTF, STL, 3MF, PLY or OBJ.", Needs::Levels,
     makeExport},
    {"map", "Draw the globe as a map or heightmap (PNG, GeoTIFF) or a cube map.", Needs::Levels,
     makeMap},
    // The samples fall on the globe as the editor starts it.
    {"import", "Set a world's starting levels from a relief raster.", Needs::StartedWorld,
     makeImport},
    {"rotate", "Turn a world so that a chosen point becomes its north pole.", Needs::World,
     makeRotate},
    {"rivers", "Write a world's rivers, lakes and drainage basins (GeoPackage, GeoJSON).",
     Needs::Levels, makeRivers},
    {"erode", "Erode a world's land as rivers would, raised where it stands high.", Needs::World,
     makeErode},
};

const Command *findCommand(const QString &name)
{
    for (const Command &command : commands) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

QString commandList()
{
    QString text =
        QStringLiteral("Makes, checks, describes, exports and maps globe worlds.\n\nCommands:\n");
    for (const Command &command : commands)
        text +=
            QStringLiteral("  %1  %2\n").arg(QLatin1String(command.name), -10).arg(command.summary);
    return text + QStringLiteral("\n'globe-world help COMMAND' describes one command, "
                                 "'globe-world --help-all' every one.\n\n"
                                 "Exit status: 0 success, 1 a usage error, 2 a refused world or "
                                 "a file error.");
}

int unknownCommand(const QString &name)
{
    QStringList names{QStringLiteral("help")};
    for (const Command &command : commands)
        names << QLatin1String(command.name);
    const QString closest = closestName(name, names);
    if (!closest.isEmpty())
        return usageError(QStringLiteral("unknown command '%1'; did you mean '%2'?")
                              .arg(shownName(name), closest));
    return usageError(
        QStringLiteral("unknown command '%1'; see 'globe-world --help'").arg(shownName(name)));
}

// Every command's help after the program's: the text the manual page is
// made from, so that the page cannot drift from the help.
int printAllHelp(const QCommandLineParser &parser)
{
    printText(stdout, helpText(parser));
    printHelpAsSections();
    for (const Command &command : commands) {
        printText(stdout, QString());
        std::fflush(stdout);
        runCommand(command, {QLatin1String(command.name), QStringLiteral("--help")});
    }
    return 0;
}

// "help" alone is --help; "help COMMAND" is "COMMAND --help".
int runHelp(const QCommandLineParser &parser, const QStringList &rest)
{
    if (rest.isEmpty()) {
        printText(stdout, helpText(parser));
        return 0;
    }
    const Command *command = findCommand(rest[0]);
    return command ? runCommand(*command, {rest[0], QStringLiteral("--help")})
                   : unknownCommand(rest[0]);
}

bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// A message box needs a QApplication, and a QApplication aborts without a
// display. So only "check --gui" with a display at hand gets one: every other
// command keeps working on a machine without a display. This runs before
// any parser, hence the plain look at argv.
bool wantsWindow(int argc, char *argv[])
{
    if (argc < 2 || std::strcmp(argv[1], "check") != 0 || !displayAvailable())
        return false;
    for (int i = 2; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--gui") == 0)
            return true;
    }
    return false;
}

// A world that cannot be opened: in a box too for check --gui, where a user
// started from the menu learns why. The loader's and the checker's lines
// are a world's problems, printed as they stand, as the editor prints them;
// any other failure is one line of globe-world's.
int refuseWorld(const CommandLine &line, const Status &refused, bool problems)
{
    // The lines first: a box waits for a click.
    const int status = problems ? reportProblems(refused) : report(refused);
    std::fflush(stderr);
    if (line.texts().isSet(QStringLiteral("gui")))
        showRefusalBox(line.dir(), refused.lines());
    return status;
}

// The world the command needs, loaded once, with its level options applied;
// the failure printed.
int loadNeeded(const CommandLine &line, Needs needs, World *world)
{
    // Without this, a mistyped folder reads as five missing files.
    if (!QFileInfo(line.dir()).isDir())
        return refuseWorld(line, Status::refused(line.dir(), QStringLiteral("no such folder")),
                           false);
    const DemoTerrain demo =
        needs == Needs::StartedWorld ? DemoTerrain::AsFlagged : DemoTerrain::Off;
    if (const Status loaded = loadWorld(line.dir(), demo, world); !loaded.ok())
        return refuseWorld(line, loaded, true);
    if (needs == Needs::Levels)
        return report(line.applyLevelOptions(*world));
    return 0;
}

} // namespace

int runCommand(const Command &command, const QStringList &arguments)
{
    const std::unique_ptr<Job> job = command.make();
    CommandLine line(arguments.value(0));
    if (command.needs == Needs::Levels)
        line.addLevelOptions();
    job->define(line);
    if (const Status parsed = line.parse(arguments); !parsed.ok() || line.helpShown())
        return report(parsed);
    if (const Status read = job->read(line.texts()); !read.ok())
        return report(read);
    Progress progress;
    World world;
    if (command.needs != Needs::Folder) {
        if (const int failed = loadNeeded(line, command.needs, &world); failed != 0)
            return failed;
    }
    Summary summary;
    const Status done =
        job->run({line.dir(), world, progress,
                  command.needs == Needs::Levels ? line.levelsLine(world) : QString()},
                 summary);
    progress.finish(done.ok());
    if (summary.worldRefused)
        return refuseWorld(line, done, true);
    if (done.ok())
        summary.print();
    return report(done);
}

int main(int argc, char *argv[])
{
    keepFileNameBytes();
    const std::unique_ptr<QCoreApplication> app(
        wantsWindow(argc, argv) ? new QApplication(argc, argv) : new QCoreApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("globe-world"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLOBE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(commandList());
    // Qt's own words for these speak of Qt's options, which have no place here.
    parser.addOption(
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays this help.")});
    parser.addOption({QStringLiteral("help-all"),
                      QStringLiteral("Displays this help and that of every command.")});
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("COMMAND"), QStringLiteral("What to do."),
                                 QStringLiteral("COMMAND [ARGUMENTS...]"));
    // Everything after the command belongs to it, options included.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parseError(parser));
    if (parser.isSet(QStringLiteral("version"))) {
        printLines(stdout, {QStringLiteral("globe-world %1").arg(GLOBE_VERSION)});
        return 0;
    }
    if (parser.isSet(QStringLiteral("help-all")))
        return printAllHelp(parser);
    if (helpAsked(parser)) {
        printText(stdout, helpText(parser));
        return 0;
    }
    const QStringList rest = parser.positionalArguments();
    if (rest.isEmpty())
        return usageError(QStringLiteral("missing command; see 'globe-world --help'"));
    if (rest[0] == QLatin1String("help"))
        return runHelp(parser, rest.mid(1));
    const Command *command = findCommand(rest[0]);
    if (!command)
        return unknownCommand(rest[0]);
    // Every bound on what a file may claim is checked before memory is
    // spent; what is left over (a capped address space, a full machine) is
    // a refusal like any other, not an abort.
    try {
        return runCommand(*command, rest);
    } catch (const std::bad_alloc &) {
        return report(Status::outOfMemory(rest[0]));
    }
}
