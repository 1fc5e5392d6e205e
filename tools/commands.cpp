#include "commands.h"

#include "world/levelstore.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldtables.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

CommandLine::CommandLine(const QString &name, const QString &description) : name(name)
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

// The base levels after the loader accepted the world: the demo terrain it
// may have laid over them must not leak into the result.
bool readStoredLevels(const QString &dir, int vertexCount, QVector<int> &levels, QString *error)
{
    const QString path = QDir(dir).filePath(QString::fromLatin1(levelsFileName));
    if (!readStartingLevels(path, vertexCount, levels, error))
        return false;
    levels.resize(vertexCount);
    return true;
}

} // namespace

void CommandLine::addLevelOptions()
{
    parser.addOptions({levelsOption, demoOption});
    levelOptions = true;
}

bool CommandLine::loadWorldAndLevels(int *status)
{
    if (!loadAcceptedWorld(dir())) {
        *status = ExitRefused;
        return false;
    }
    return applyLevelOptions(status);
}

bool CommandLine::applyLevelOptions(int *status)
{
    *status = ExitSuccess;
    if (!levelOptions)
        return true;
    *status = ExitRefused;
    QVector<int> levels;
    QString error;
    const bool read =
        parser.isSet(levelsOption)
            ? readLevelTable(parser.value(levelsOption), worldVertexCount, levels, &error)
            : readStoredLevels(dir(), worldVertexCount, levels, &error);
    if (!read) {
        printLines(stderr, {QStringLiteral("globe-world: ") + error});
        return false;
    }
    if (parser.isSet(demoOption))
        applyDemoLevels(levels);
    vertexLevels = levels;
    *status = ExitSuccess;
    return true;
}

QString CommandLine::levelsLine() const
{
    QString line = QStringLiteral("levels: %1")
                       .arg(parser.isSet(levelsOption) ? parser.value(levelsOption)
                                                       : QString::fromLatin1(levelsFileName));
    if (parser.isSet(demoOption))
        return line + QStringLiteral(" with the demo terrain");
    line += QStringLiteral(" as stored");
    const QString demoFile = QDir(dir()).filePath(QString::fromLatin1(demoFileName));
    if (readDemoFlag(demoFile) != 0)
        line += QStringLiteral(" (demo.txt is on: add --demo to match the editor's start)");
    return line;
}

bool CommandLine::required(const QCommandLineOption &option, QString *value, int *status) const
{
    if (parser.isSet(option)) {
        *value = parser.value(option);
        return true;
    }
    *status = usageError(QStringLiteral("%1: missing --%2 %3")
                             .arg(name, option.names().constFirst(), option.valueName()));
    return false;
}

bool writeOutput(const QString &path, const QByteArray &bytes)
{
    QString error;
    if (writeFileAtomically(path, bytes, &error))
        return true;
    printLines(stderr, {QStringLiteral("globe-world: ") + error});
    return false;
}
