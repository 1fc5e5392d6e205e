// globe-world: the world files' command-line tool. Each subcommand lives in
// its own cmd_*.cpp; this file only finds and runs it.
#include "commands.h"

#include <QCoreApplication>

#include <iterator>

namespace {

const Command commands[] = {
    {"generate", "Generate a new world into a folder.", runGenerate},
    {"check", "Check a world as the editor does, then its mesh.", runCheck},
    {"info", "Describe a world: counts and land and sea.", runInfo},
    {"export", "Write the drawn globe as a PLY or OBJ mesh.", runExport},
    {"map", "Draw the globe as an equirectangular PNG map or heightmap.", runMap},
    {"import", "Set a world's starting levels from a heightmap.", runImport},
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
    return text + QStringLiteral("\n'globe-world help COMMAND' describes one command.");
}

int unknownCommand(const QString &name)
{
    return usageError(QStringLiteral("unknown command '%1'; see 'globe-world --help'").arg(name));
}

// "help" alone is --help; "help COMMAND" is "COMMAND --help".
int runHelp(const QCommandLineParser &parser, const QStringList &rest)
{
    if (rest.isEmpty()) {
        printLines(stdout, {helpText(parser)});
        return ExitSuccess;
    }
    const Command *command = findCommand(rest[0]);
    return command ? command->run({rest[0], QStringLiteral("--help")}) : unknownCommand(rest[0]);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("globe-world"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLOBE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(commandList());
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("COMMAND"), QStringLiteral("What to do."),
                                 QStringLiteral("COMMAND [ARGUMENTS...]"));
    // Everything after the command belongs to it, options included.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("version"))) {
        printLines(stdout, {QStringLiteral("globe-world %1").arg(GLOBE_VERSION)});
        return ExitSuccess;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printLines(stdout, {helpText(parser)});
        return ExitSuccess;
    }
    const QStringList rest = parser.positionalArguments();
    if (rest.isEmpty())
        return usageError(QStringLiteral("missing command; see 'globe-world --help'"));
    if (rest[0] == QLatin1String("help"))
        return runHelp(parser, rest.mid(1));
    const Command *command = findCommand(rest[0]);
    return command ? command->run(rest) : unknownCommand(rest[0]);
}
