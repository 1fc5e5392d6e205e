// The subcommands of globe-world and what they share, after ninja's tool
// table: each row says what its command needs, and main parses the command
// line, loads that, runs the command's one library call and reports its
// Status once. A cmd_NAME.cpp only declares its options, hands their texts
// to the library's check (checkMapOptions, ...) and words what the library
// returned; the exit status is exitStatus's (world/status.h).
//
// To add a subcommand: write cmd_NAME.cpp with a Job and a make function,
// declare the make function below, and add a row to the table in main.cpp.
#ifndef COMMANDS_H
#define COMMANDS_H

#include "world/optiontexts.h"
#include "world/progress.h"
#include "world/status.h"
#include "world/world.h"

#include <QCommandLineParser>
#include <QList>
#include <QPair>
#include <QStringList>

#include <cstdio>
#include <memory>

// What main loads for a command before it runs.
enum class Needs {
    Folder,       // DIR alone, which need not exist yet (generate)
    World,        // DIR's world, its levels as stored (rotate)
    StartedWorld, // DIR's world as the editor starts it: the demo terrain as demo.txt says
    Levels        // DIR's world, its levels as --levels and --demo say
};

// The parser of one subcommand that works on one world folder, DIR.
class CommandLine
{
public:
    explicit CommandLine(const QString &name);

    QCommandLineParser parser;

    void describe(const QString &description);
    // Options whose texts reach the command's job (texts()).
    void addOptions(const QList<QCommandLineOption> &options);
    // Adds --levels FILE and --demo, which applyLevelOptions honours.
    void addLevelOptions();

    // A usage error for a mistake. --help is printed here, and helpShown()
    // is then true: the command ends with success.
    Status parse(const QStringList &arguments);
    bool helpShown() const { return helped; }
    QString dir() const { return parser.positionalArguments().value(0); }
    // The options added, as typed, for the library's checks.
    OptionTexts texts() const;

    // Replaces world's levels as --levels and --demo say; refused, with a
    // hint when FILE was meant inside DIR.
    Status applyLevelOptions(World &world) const;
    // Where the levels came from, for the user: "levels: as stored in
    // base002.dat (the starting levels)".
    QString levelsLine(const World &world) const;

private:
    QString name;
    QList<QCommandLineOption> added;
    bool levelOptions = false;
    bool helped = false;
};

// The world's name, for the files that show one (a web page's title, a
// KMZ's): the folder dir's own name, "." taken for the folder it stands
// for, escaped as every shown name is.
QString worldName(const QString &dir);

// What a command that succeeded prints, in order: lines on stdout, notes on
// stderr ("globe-world: " before each). printed through the one printer,
// which escapes whatever a line holds that would break it.
class Summary
{
public:
    void out(const QString &line) { lines << qMakePair(stdout, line); }
    void out(const QStringList &more);
    void note(const QString &line);
    void print() const;

    // A failure whose lines are a world's problems, printed as they stand,
    // as the editor prints them (check).
    bool worldRefused = false;

private:
    QList<QPair<FILE *, QString>> lines;
};

// What main hands a job once it loaded what the command needs.
struct Call
{
    const QString &dir;
    World &world;
    Progress &progress;
    QString levelsLine;
};

// One run of a command, after ninja's tools and GDAL's *OptionsNew: its
// options declared, read through the library's check, then one library call.
class Job
{
public:
    virtual ~Job() = default;
    // The command's description and options, beside the level options main
    // adds for Needs::Levels.
    virtual void define(CommandLine &line) = 0;
    // The options as typed into the library's options, checked there; a
    // usage error before anything is loaded.
    virtual Status read(const OptionTexts &given) = 0;
    // The work on what main loaded; on success, what to print into summary.
    virtual Status run(const Call &call, Summary &summary) = 0;
};

struct Command
{
    const char *name;
    const char *summary;
    Needs needs;
    std::unique_ptr<Job> (*make)();
};

std::unique_ptr<Job> makeGenerate();
std::unique_ptr<Job> makeCheck();
std::unique_ptr<Job> makeInfo();
std::unique_ptr<Job> makeExport();
std::unique_ptr<Job> makeMap();
std::unique_ptr<Job> makeImport();
std::unique_ptr<Job> makeRotate();
std::unique_ptr<Job> makeRivers();
std::unique_ptr<Job> makeErode();

// Parses arguments (the command's name, then what followed it), loads what
// the command needs, runs it and reports; returns the exit status.
int runCommand(const Command &command, const QStringList &arguments);

// The Levenshtein distance: the fewest letters inserted, deleted or
// replaced that turn a into b.
int editDistance(const QString &a, const QString &b);

// The name in names nearest to typed, when near enough to be what was
// meant; else empty.
QString closestName(const QString &typed, const QStringList &names);

// The parser's error, with "did you mean '--NAME'?" for a mistyped option.
QString parseError(const QCommandLineParser &parser);

// From now on a command's --help prints helpSection instead: for
// --help-all, whose text the manual page is made from.
void printHelpAsSections();

// A command's help as a section of the program's: "globe-world [options]
// NAME DIR:", its description and its own options, without what every
// command shares (--help, --help-all, DIR).
QString helpSection(const QCommandLineParser &parser);

// --help or --help-all.
bool helpAsked(const QCommandLineParser &parser);

// The parser's help with the program named "globe-world" in the usage line.
QString helpText(const QCommandLineParser &parser);

// The one printer of globe-world's lines, on stdout and stderr: each line as
// shownText escapes it (world/filenames.h), so that nothing a user or a file
// put in a name or a value reaches the terminal raw.
void printLines(FILE *to, const QStringList &lines);

// Our own text of several lines (the help), as it stands.
void printText(FILE *to, const QString &text);

// Prints "globe-world: message" on stderr and returns the usage status.
int usageError(const QString &message);

// Prints a refused world's lines as they stand, as the editor does, and
// returns its exit status.
int reportProblems(const Status &status);

// Prints each line of a failure as "globe-world: line" on stderr and returns
// its exit status; prints nothing for success.
int report(const Status &status);

#endif
