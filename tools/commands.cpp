#include "commands.h"

#include "world/filenames.h"
#include "world/levelstore.h"
#include "world/worldload.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

bool helpAsSection = false;

} // namespace

void printHelpAsSections()
{
    helpAsSection = true;
}

QString helpSection(const QCommandLineParser &parser)
{
    const QStringList lines = helpText(parser).split(QLatin1Char('\n'));
    // "Usage: globe-world [options] NAME DIR" becomes the heading.
    QStringList kept{lines.value(0).mid(lines.value(0).indexOf(QLatin1Char(' ')) + 1) +
                     QLatin1Char(':')};
    bool shared = false;
    for (const QString &line : lines.mid(1)) {
        if (line == QLatin1String("Arguments:"))
            break;
        // Every command has --help and --help-all, and its help says so.
        if (line.startsWith(QLatin1String("  -")))
            shared = line.contains(QLatin1String("--help"));
        // The description indented, as a heading's first line must be.
        if (!shared && line != QLatin1String("Options:"))
            kept << (line.startsWith(QLatin1Char(' ')) || line.isEmpty()
                         ? line
                         : QStringLiteral("  ") + line);
    }
    return kept.join(QLatin1Char('\n')).trimmed();
}

CommandLine::CommandLine(const QString &name) : name(name)
{
    parser.addHelpOption();
    // Qt puts the executable's name and "[options]" before this syntax.
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The world folder."),
                                 name + QStringLiteral(" DIR"));
}

void CommandLine::describe(const QString &description)
{
    parser.setApplicationDescription(description);
}

void CommandLine::addOptions(const QList<QCommandLineOption> &options)
{
    parser.addOptions(options);
    added << options;
}

OptionTexts CommandLine::texts() const
{
    OptionTexts given(name);
    for (const QCommandLineOption &option : added) {
        const QString long_ = option.names().constLast();
        given.add(long_, parser.isSet(long_), parser.values(long_), option.valueName());
    }
    return given;
}

Status CommandLine::parse(const QStringList &arguments)
{
    if (!parser.parse(arguments))
        return Status::usage(parseError(parser));
    if (helpAsked(parser)) {
        printText(stdout, helpAsSection ? helpSection(parser) : helpText(parser));
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

int editDistance(const QString &a, const QString &b)
{
    // One row of the Levenshtein table at a time.
    QVector<int> row(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

QString closestName(const QString &typed, const QStringList &names)
{
    // A third of the letters wrong still reads as a typo; more is a guess.
    int best = std::max(1, int(typed.size()) / 3) + 1;
    QString closest;
    for (const QString &name : names) {
        const int distance = editDistance(typed, name);
        if (distance < best) {
            best = distance;
            closest = name;
        }
    }
    return closest;
}

QString parseError(const QCommandLineParser &parser)
{
    if (parser.unknownOptionNames().isEmpty())
        return parser.errorText();
    // Qt's own words, but with the name escaped, as every name printed is.
    const QString typed = parser.unknownOptionNames().constFirst();
    const QString unknown = QStringLiteral("Unknown option '%1'.").arg(shownName(typed));
    if (typed.size() < 2)
        return unknown;
    // The options are those the help lists: the parser has no other list.
    QStringList names;
    QRegularExpressionMatchIterator found =
        QRegularExpression(QStringLiteral("--([A-Za-z0-9][A-Za-z0-9-]*)"))
            .globalMatch(parser.helpText());
    while (found.hasNext())
        names << found.next().captured(1);
    const QString closest = closestName(typed, names);
    if (closest.isEmpty())
        return unknown;
    return QStringLiteral("unknown option '--%1'; did you mean '--%2'?")
        .arg(shownName(typed), closest);
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
    // Qt offers it for its own options, which no command has: --help-all
    // still works, as --help does, but is not offered.
    QStringList lines = text.split(QLatin1Char('\n'));
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const QString &line) {
                                   return line.trimmed().startsWith(QLatin1String("--help-all"));
                               }),
                lines.end());
    return lines.join(QLatin1Char('\n'));
}

void printLines(FILE *to, const QStringList &lines)
{
    for (const QString &line : lines) {
        std::fputs(shownText(line).toLocal8Bit().constData(), to);
        std::fputc('\n', to);
    }
}

void printText(FILE *to, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fputc('\n', to);
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

Status CommandLine::applyLevelOptions(World &world) const
{
    if (!levelOptions)
        return Status();
    LevelSource source;
    // The name is taken from the current folder, not DIR: the messages say
    // so by naming the whole path.
    if (parser.isSet(levelsOption))
        source.file = QFileInfo(parser.value(levelsOption)).absoluteFilePath();
    source.demo = parser.isSet(demoOption);
    Status taken = takeLevels(source, world);
    const QString inDir = QDir(dir()).filePath(parser.value(levelsOption));
    if (!taken.ok() && !QFileInfo::exists(source.file) && QFileInfo(inDir).isFile())
        taken = Status::refused(
            QStringLiteral("%1; did you mean %2?").arg(taken.message(), shownName(inDir)));
    return taken;
}

QString worldName(const QString &dir)
{
    // "." and "world/" name the folder they stand for.
    const QString name = QFileInfo(QDir::cleanPath(QFileInfo(dir).absoluteFilePath())).fileName();
    return name.isEmpty() ? QStringLiteral("A globe") : shownName(name);
}

QString CommandLine::levelsLine(const World &world) const
{
    const QString from = parser.isSet(levelsOption)
                             ? shownName(parser.value(levelsOption))
                             : QStringLiteral("%1 (the starting levels)").arg(levelsFileName);
    if (parser.isSet(demoOption))
        return QStringLiteral("levels: %1 with the demo terrain over them").arg(from);
    QString line = QStringLiteral("levels: as stored in %1").arg(from);
    if (world.demoFlag != 0)
        line += QStringLiteral("; demo.txt is on: add --demo to see them as the editor starts");
    return line;
}

void Summary::out(const QStringList &more)
{
    for (const QString &line : more)
        out(line);
}

void Summary::note(const QString &line)
{
    lines << qMakePair(stderr, QStringLiteral("globe-world: ") + line);
}

void Summary::print() const
{
    for (const auto &line : lines)
        printLines(line.first, {line.second});
}
