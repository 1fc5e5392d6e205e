// The subcommands of globe-world and what they share. Each cmd_NAME.cpp only
// parses its command line, calls the library function that does the work,
// prints what it returns and returns the exit status (exitStatus in
// world/status.h).
//
// To add a subcommand: write cmd_NAME.cpp with an int runName(const
// QStringList &) built on CommandLine, declare it below, and add a row to
// the table in main.cpp.
#ifndef COMMANDS_H
#define COMMANDS_H

#include "world/levelstore.h"
#include "world/status.h"
#include "world/world.h"
#include "world/worldload.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>

struct Command
{
    const char *name;
    const char *summary;
    // arguments: the command's name, then what followed it
    int (*run)(const QStringList &arguments);
};

int runGenerate(const QStringList &arguments);
int runCheck(const QStringList &arguments);
int runInfo(const QStringList &arguments);
int runExport(const QStringList &arguments);
int runMap(const QStringList &arguments);
int runImport(const QStringList &arguments);
int runRotate(const QStringList &arguments);
int runRivers(const QStringList &arguments);

// The parser of one subcommand that works on one world folder, DIR.
class CommandLine
{
public:
    CommandLine(const QString &name, const QString &description);

    QCommandLineParser parser;

    // A usage error for a mistake. --help is printed here, and helpShown()
    // is then true: the command ends with report(Status()), 0.
    Status parse(const QStringList &arguments);
    bool helpShown() const { return helped; }
    QString dir() const { return parser.positionalArguments().value(0); }

    // Adds --levels FILE and --demo, which loadWorldAndLevels then honours.
    void addLevelOptions();
    // Loads DIR with the editor's loader and checker, the levels as demo
    // says. A refusal's lines are ready for reportProblems.
    Status loadWorld(DemoTerrain demo, World *world) const;
    // Loads DIR with the levels as stored, then takes the levels as the level
    // options say: the --levels file, with the demo terrain over it for
    // --demo. A failure is printed here (a refused world's lines as they
    // stand, as reportProblems does); the command returns its exitStatus.
    Status loadWorldAndLevels(World *world) const;
    // The level options' part of loadWorldAndLevels, for a command that loads
    // DIR itself; a failure printed by report.
    Status applyLevelOptions(World &world) const;
    // Where the levels came from, for the user: "levels: as stored in
    // base002.dat (the starting levels)".
    QString levelsLine(const World &world) const;
    // The world's name, for the files that show one (a web page's title, a
    // KMZ's): DIR's own name, escaped as every shown name is.
    QString worldName() const;
    // An option's value; a usage error when the option is missing.
    Status required(const QCommandLineOption &option, QString *value) const;

private:
    QString name;
    bool levelOptions = false;
    bool helped = false;
};

// Whether text is a finite number from low to high, into *value: what every
// numeric option checks before its value goes anywhere, since NaN and
// infinities pass a comparison written the wrong way round.
bool numberInRange(const QString &text, double low, double high, double *value);

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

void printLines(FILE *to, const QStringList &lines);

// Prints "globe-world: message" on stderr and returns the usage status.
int usageError(const QString &message);

// Prints a refused world's lines as they stand, as the editor does, and
// returns its exit status.
int reportProblems(const Status &status);

// Prints each line of a failure as "globe-world: line" on stderr and returns
// its exit status; prints nothing for success.
int report(const Status &status);

#endif
