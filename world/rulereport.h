// Problem lines grouped by rule, shared by the world checkers.
#ifndef RULEREPORT_H
#define RULEREPORT_H

#include <QString>
#include <QStringList>

// A broken file can break one rule a million times; a few lines of each
// rule tell the user what is wrong, the count tells how much.
class RuleReport
{
public:
    static const int linesPerRule = 8;

    // Lines are "file: line"; when the rule is broken more than linesPerRule
    // times, a last line "file: N more what" counts the rest.
    RuleReport(QStringList &out, const char *file, const char *what)
        : out(out), file(file), what(what)
    {}
    ~RuleReport()
    {
        if (count > linesPerRule)
            out << QStringLiteral("%1: %2 more %3").arg(file).arg(count - linesPerRule).arg(what);
    }
    RuleReport(const RuleReport &) = delete;
    RuleReport &operator=(const RuleReport &) = delete;

    // Counts a breach whose line would not be shown: a caller asks first, so
    // that a sparse world of ten million zeros costs a count, not a string,
    // per breach.
    bool countedOnly()
    {
        if (count < linesPerRule)
            return false;
        ++count;
        return true;
    }

    void add(const QString &line)
    {
        if (count++ < linesPerRule)
            out << QStringLiteral("%1: %2").arg(file, line);
    }

private:
    QStringList &out;
    const char *file;
    const char *what;
    int count = 0;
};

#endif
