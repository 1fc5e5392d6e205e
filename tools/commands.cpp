#include "commands.h"

#include "world/worldload.h"

#include <QCoreApplication>
#include <QFileInfo>

CommandLine::CommandLine(const QString &name, const QString &description)
{
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    // Qt puts the executable's name and "[options]" before this syntax.
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The world folder."),
                                 name + QStringLiteral(" DIR"));
}

bool CommandLine::parse(const QStringList &arguments, int *status)
{
    if (!parser.parse(arguments)) {
        *status = usageError(parser.errorText());
        return false;
    }
    if (helpAsked(parser)) {
        printLines(stdout, {helpText(parser)});
        *status = ExitSuccess;
        return false;
    }
    const int given = parser.positionalArguments().size();
    if (given != 1) {
        *status = usageError(
            given == 0 ? QStringLiteral("%1: missing DIR").arg(arguments[0])
                       : QStringLiteral("%1: one DIR only, not %2").arg(arguments[0]).arg(given));
        return false;
    }
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
    printLines(stderr, {QStringLiteral("globe-world: ") + message});
    return ExitUsage;
}

QStringList loadWorldProblems(const QString &dir)
{
    // Without this, a mistyped folder reads as five missing files.
    if (!QFileInfo(dir).isDir())
        return {QStringLiteral("globe-world: %1: no such folder").arg(dir)};
    loadWorldFrom(dir);
    return worldProblems();
}

bool loadAcceptedWorld(const QString &dir)
{
    const QStringList problems = loadWorldProblems(dir);
    printLines(stderr, problems);
    return problems.isEmpty();
}
