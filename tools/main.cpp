// globe-world: the world files' command-line tool. Each subcommand lives in
// its own cmd_*.cpp; this file only finds and runs it.
#include "commands.h"

#include "world/filenames.h"

#include <QApplication>

#include <cstring>
#include <iterator>
#include <memory>
#include <new>

namespace {

const Command commands[] = {
    {"generate", "Generate a new world into a folder.", runGenerate},
    {"check", "Check a world as the editor does, then its mesh.", runCheck},
    {"info", "Describe a world: counts and land and sea.", runInfo},
    {"export", "Write the drawn globe as 3D files: glTF, STL, 3MF, PLY or OBJ.", runExport},
    {"map", "Draw the globe as a map or heightmap (PNG, GeoTIFF) or a cube map.", runMap},
    {"import", "Set a world's starting levels from a relief raster.", runImport},
    {"rotate", "Turn a world so that a chosen point becomes its north pole.", runRotate},
    {"rivers", "Write a world's rivers, lakes and drainage basins (GeoPackage, GeoJSON).",
     runRivers},
    {"erode", "Erode a world's land as rivers would, raised where it stands high.", runErode},
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
    printLines(stdout, {helpText(parser)});
    printHelpAsSections();
    for (const Command &command : commands) {
        printLines(stdout, {QString()});
        std::fflush(stdout);
        command.run({QLatin1String(command.name), QStringLiteral("--help")});
    }
    return 0;
}

// "help" alone is --help; "help COMMAND" is "COMMAND --help".
int runHelp(const QCommandLineParser &parser, const QStringList &rest)
{
    if (rest.isEmpty()) {
        printLines(stdout, {helpText(parser)});
        return 0;
    }
    const Command *command = findCommand(rest[0]);
    return command ? command->run({rest[0], QStringLiteral("--help")}) : unknownCommand(rest[0]);
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

} // namespace

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
        printLines(stdout, {helpText(parser)});
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
        return command->run(rest);
    } catch (const std::bad_alloc &) {
        return report(Status::outOfMemory(rest[0]));
    }
}
