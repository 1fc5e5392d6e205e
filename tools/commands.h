// The subcommands of globe-world and what they share.
//
// To add a subcommand: write cmd_NAME.cpp with an int runName(const
// QStringList &) built on CommandLine, declare it below, and add a row to
// the table in main.cpp.
#ifndef COMMANDS_H
#define COMMANDS_H

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>

enum ExitStatus {
    ExitSuccess = 0,
    ExitUsage = 1,  // the command line is wrong
    ExitRefused = 2 // the world is refused, or a file cannot be read or written
};

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

// The parser of one subcommand that works on one world folder, DIR.
class CommandLine
{
public:
    CommandLine(const QString &name, const QString &description);

    QCommandLineParser parser;

    // Handles --help and mistakes itself: false then, with *status set to
    // the exit status to return.
    bool parse(const QStringList &arguments, int *status);
    QString dir() const { return parser.positionalArguments().value(0); }

    // Adds --levels FILE and --demo, which loadWorldAndLevels then honours.
    void addLevelOptions();
    // Loads DIR with the editor's loader and checker. With the level options
    // added, vertexLevels then holds base002.dat as stored (whatever demo.txt
    // says) or the --levels file, with the demo terrain over it for --demo.
    // Reports a refusal on stderr and sets *status.
    bool loadWorldAndLevels(int *status);
    // The level options' part of loadWorldAndLevels, for a command that loads DIR
    // itself: takes the levels as loadWorldAndLevels would.
    bool applyLevelOptions(int *status);
    // Where the levels came from, for the user: "levels: base002.dat as stored".
    QString levelsLine() const;
    // An option's value; a usage error when the option is missing.
    bool required(const QCommandLineOption &option, QString *value, int *status) const;

private:
    QString name;
    bool levelOptions = false;
};

// --help or --help-all.
bool helpAsked(const QCommandLineParser &parser);

// The parser's help with the program named "globe-world" in the usage line.
QString helpText(const QCommandLineParser &parser);

void printLines(FILE *to, const QStringList &lines);

// Prints "globe-world: message" on stderr and returns ExitUsage.
int usageError(const QString &message);

// Loads the world in dir into the editor's tables with the editor's own
// loader and returns why it is refused: nothing for an accepted world.
QStringList loadWorldProblems(const QString &dir);

// As loadWorldProblems, printing the problems on stderr; false when refused.
bool loadAcceptedWorld(const QString &dir);

// Replaces path whole with bytes; reports a failure on stderr.
bool writeOutput(const QString &path, const QByteArray &bytes);

#endif
