#include "report.h"

#include "figures.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

const int csvFields = 8;

// Three significant digits without exponents: tables are read by people.
QString readable(double value)
{
    if (value == 0.0 || !std::isfinite(value))
        return QString::number(value);
    const int magnitude = int(std::floor(std::log10(std::fabs(value))));
    return QString::number(value, 'f', std::max(0, 2 - magnitude));
}

QString withUnit(double value, const QString &unit)
{
    return QStringLiteral("%1 %2").arg(readable(value), unit);
}

struct TargetRule
{
    const char *text;
    const char *figure;
    const char *reference; // null: whatever the row is set beside
    int subdivision;       // 0: every size measured
    bool onRatio;          // else on our own value
    double limit;
};

const TargetRule targetRules[] = {
    {"load at S = 7 within 2x the raw read", figures::load, refs::rawReadFiles, 7, true, 2.0},
    {"build at S = 7 within 0.2x the plain sequence", figures::build, refs::plainSequence, 7, true,
     0.2},
    {"build per list, last eighth within 1.5x the first, at every S", figures::listsLastEighth,
     refs::firstEighth, 0, true, 1.5},
    {"restore at S = 7 within 0.2x the plain sequence", figures::restore, refs::plainSequence, 7,
     true, 0.2},
    {"frame within 1.1x the bare call loop (a) at every S", figures::frame, refs::callLoop, 0, true,
     1.1},
    {"frame at S = 6 within 0.3x the plain sequence's call loop", figures::frame,
     refs::plainCallLoop, 6, true, 0.3},
    {"frame at S = 7 within 0.3x the plain sequence's call loop", figures::frame,
     refs::plainCallLoop, 7, true, 0.3},
    {"edit at S = 7 within 2.5x its time at S = 3", figures::edit, refs::editAtS3, 7, true, 2.5},
    {"edit at S = 7 under 0.05 ms", figures::edit, refs::editAtS3, 7, false, 0.05},
    {"memory at S = 6 at most 3000 bytes per triangle", figures::memoryPerTriangle, nullptr, 6,
     false, 3000.0},
    {"memory at S = 7 at most 3000 bytes per triangle", figures::memoryPerTriangle, nullptr, 7,
     false, 3000.0},
    {"save within 2x the raw write at every S", figures::save, refs::rawWrite, 0, true, 2.0},
};

// S = 8 has no limits of its own: it must open, and these be measured.
const int largestSize = 8;
const char *const largestSizeFigures[] = {figures::build, figures::frame, figures::pick,
                                          figures::edit, figures::peakRss};

const char *const allFigures[] = {
    figures::peakRss,
    figures::memoryPerTriangle,
    figures::load,
    figures::loadChecks,
    figures::build,
    figures::listsFirstEighth,
    figures::listsLastEighth,
    figures::listsReserve,
    figures::listsEmpty,
    figures::frame,
    figures::pick,
    figures::edit,
    figures::editPole,
    figures::save,
    figures::restore,
};

TargetCheck evaluate(const TargetRule &rule, const QVector<Measurement> &rows)
{
    TargetCheck check;
    check.target = QString::fromLatin1(rule.text);
    double worst = -1.0;
    int worstS = 0;
    QString unit;
    for (const Measurement &m : rows) {
        if (m.figure != rule.figure || (rule.reference && m.reference != rule.reference))
            continue;
        if (rule.subdivision != 0 && m.subdivision != rule.subdivision)
            continue;
        const double value = rule.onRatio ? m.ratio() : m.ours;
        if (value > worst) {
            worst = value;
            worstS = m.subdivision;
            unit = m.unit;
        }
    }
    if (worst < 0.0)
        return check;
    check.measured =
        rule.onRatio ? QStringLiteral("%1x").arg(readable(worst)) : withUnit(worst, unit);
    if (rule.subdivision == 0)
        check.measured += QStringLiteral(" (worst, at S = %1)").arg(worstS);
    check.verdict = worst <= rule.limit ? TargetCheck::Met : TargetCheck::Missed;
    return check;
}

TargetCheck largestSizeOpens(const QVector<Measurement> &rows)
{
    TargetCheck check;
    check.target = QStringLiteral("S = %1 opens: build, frame, pick, edit and peak RSS measured")
                       .arg(largestSize);
    QStringList seen;
    for (const char *figure : largestSizeFigures) {
        for (const Measurement &m : rows) {
            if (m.figure == figure && m.subdivision == largestSize) {
                seen << QStringLiteral("%1 %2").arg(m.figure, withUnit(m.ours, m.unit));
                break;
            }
        }
    }
    if (seen.isEmpty())
        return check;
    check.measured = seen.join(QStringLiteral(", "));
    check.verdict =
        seen.size() == int(std::size(largestSizeFigures)) ? TargetCheck::Met : TargetCheck::Missed;
    return check;
}

QString verdictText(TargetCheck::Verdict verdict)
{
    switch (verdict) {
    case TargetCheck::Met:
        return QStringLiteral("met");
    case TargetCheck::Missed:
        return QStringLiteral("missed");
    case TargetCheck::NotMeasured:
        break;
    }
    return QStringLiteral("not measured in this run");
}

QStringList cells(const Measurement &m)
{
    const QString none = QStringLiteral("-");
    return {m.figure,
            QString::number(m.subdivision),
            QString::number(m.triangles),
            withUnit(m.ours, m.unit),
            m.hasReference() ? m.reference : none,
            m.hasReference() ? withUnit(m.referenceValue, m.unit) : none,
            m.hasReference() ? readable(m.ratio()) : none};
}

const QStringList headings = {QStringLiteral("Figure"),    QStringLiteral("S"),
                              QStringLiteral("Triangles"), QStringLiteral("Ours"),
                              QStringLiteral("Reference"), QStringLiteral("Reference value"),
                              QStringLiteral("Ratio")};

QString markdownRow(const QStringList &row)
{
    return QStringLiteral("| %1 |\n").arg(row.join(QStringLiteral(" | ")));
}

bool isListCost(const Measurement &m)
{
    return m.figure.startsWith(QLatin1String(figures::listPrefix));
}

QString markdownTable(const QVector<Measurement> &rows)
{
    QString out = markdownRow(headings);
    out += markdownRow(QVector<QString>(headings.size(), QStringLiteral("---")).toList());
    for (const Measurement &m : rows) {
        if (!isListCost(m))
            out += markdownRow(cells(m));
    }
    return out;
}

QString targetTable(const QVector<Measurement> &rows)
{
    QString out = QStringLiteral("| Target | Measured | Verdict |\n|---|---|---|\n");
    for (const TargetCheck &check : checkTargets(rows))
        out += markdownRow({check.target, check.measured.isEmpty() ? "-" : check.measured,
                            verdictText(check.verdict)});
    return out;
}

// The value of a figure at a size, or nothing when it was not measured
// there (the plain sequence is not built at every size).
QString valueAt(const QVector<Measurement> &rows, const char *figure, int subdivision,
                const QString &unit)
{
    for (const Measurement &m : rows) {
        if (m.figure == figure && m.subdivision == subdivision)
            return withUnit(m.ours, unit);
    }
    return QStringLiteral("-");
}

// Size by size, what one list costs: the builds divided by the triangle
// count, then the first and last eighths of ours and of the plain sequence,
// an empty list and a reserved name. A flat column grows in proportion to
// the triangle count.
QString compileCurve(const QVector<Measurement> &rows)
{
    QString out = QStringLiteral(
        "| S | Triangles | Ours, per triangle | Ours, first eighth | Ours, last eighth | Plain "
        "sequence, per triangle | Plain, first eighth | Plain, last eighth | Empty list | "
        "glGenLists, per name |\n"
        "|---|---|---|---|---|---|---|---|---|---|\n");
    const QString us = QStringLiteral("us");
    QVector<int> sizes;
    for (const Measurement &m : rows) {
        if (m.figure != figures::build || sizes.contains(m.subdivision))
            continue;
        sizes << m.subdivision;
        const double perTriangle = 1000.0 / double(m.triangles);
        const int s = m.subdivision;
        const QString plain = m.reference == refs::plainSequence
                                  ? withUnit(m.referenceValue * perTriangle, us)
                                  : QStringLiteral("-");
        out += markdownRow({QString::number(s), QString::number(m.triangles),
                            withUnit(m.ours * perTriangle, us),
                            valueAt(rows, figures::listsFirstEighth, s, us),
                            valueAt(rows, figures::listsLastEighth, s, us), plain,
                            valueAt(rows, figures::plainFirstEighth, s, us),
                            valueAt(rows, figures::plainLastEighth, s, us),
                            valueAt(rows, figures::listsEmpty, s, us),
                            valueAt(rows, figures::listsReserve, s, us)});
    }
    return out;
}

} // namespace

double Measurement::ratio() const
{
    return referenceValue != 0.0 ? ours / referenceValue : 0.0;
}

QString toCsvLine(const Measurement &m)
{
    const auto number = [](double v) { return QString::number(v, 'g', 9); };
    return QStringList{m.figure,
                       m.reference,
                       QString::number(m.subdivision),
                       QString::number(m.triangles),
                       number(m.ours),
                       m.hasReference() ? number(m.referenceValue) : QString(),
                       m.hasReference() ? number(m.ratio()) : QString(),
                       m.unit}
        .join(',');
}

bool fromCsvLine(const QString &line, Measurement &m)
{
    const QStringList f = line.split(',');
    bool ok[4] = {false, false, false, true};
    if (f.size() != csvFields)
        return false;
    m.figure = f[0];
    m.reference = f[1];
    m.subdivision = f[2].toInt(&ok[0]);
    m.triangles = f[3].toLongLong(&ok[1]);
    m.ours = f[4].toDouble(&ok[2]);
    if (m.hasReference())
        m.referenceValue = f[5].toDouble(&ok[3]);
    m.unit = f[7];
    return std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; });
}

QString describeCpu()
{
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("unknown");
    const QString text = QString::fromLatin1(file.readAll());
    const QRegularExpression model(QStringLiteral("^model name\\s*:\\s*(.*)$"),
                                   QRegularExpression::MultilineOption);
    const int processors = text.count(
        QRegularExpression(QStringLiteral("^processor\\s*:"), QRegularExpression::MultilineOption));
    const QRegularExpressionMatch match = model.match(text);
    const QString name = match.hasMatch() ? match.captured(1).trimmed() : QStringLiteral("unknown");
    return QStringLiteral("%1, %2 logical processors").arg(name).arg(processors);
}

QVector<TargetCheck> checkTargets(const QVector<Measurement> &rows)
{
    QVector<TargetCheck> checks;
    for (const TargetRule &rule : targetRules)
        checks << evaluate(rule, rows);
    checks << largestSizeOpens(rows);
    return checks;
}

QStringList expectedFigures()
{
    QStringList names;
    for (const char *figure : allFigures)
        names << QString::fromLatin1(figure);
    return names;
}

QStringList missingFigures(const QVector<Measurement> &rows, const QVector<int> &sizes)
{
    QStringList missing;
    for (int subdivision : sizes) {
        for (const QString &figure : expectedFigures()) {
            const bool found = std::any_of(rows.begin(), rows.end(), [&](const Measurement &m) {
                return m.figure == figure && m.subdivision == subdivision;
            });
            if (!found)
                missing << QStringLiteral("%1 at S = %2").arg(figure).arg(subdivision);
        }
    }
    return missing;
}

QString markdownReport(const QVector<Measurement> &rows, const RunInfo &info)
{
    QString out;
    QTextStream s(&out);
    s << "# Performance\n\n"
      << "Written by `make bench` (bench/): every figure is the median of repeated runs in one "
         "process per world, beside a reference measured in the same process and the same run. "
         "Ratio = ours / reference.\n\n"
      << "- CPU: " << info.cpu << "\n"
      << "- GL renderer: " << info.renderer << "\n"
      << "- Date: " << info.date << "\n"
      << "- Timings are from software GL (Mesa llvmpipe under Xvfb), in a 500x500 window: "
         "drawing costs CPU time here, not GPU time, and the machine is shared.\n\n"
      << "## How each figure is taken\n\n"
      << "The plain sequence is the triangles' lists as they were before the Mesa "
         "workarounds (the outline's grey set before glBegin(GL_LINES), no padding to whole "
         "words of Mesa's list store, recompiled in place), "
         "compiled from plain arrays into a block of its own. It is built once at S = 7 (half "
         "a minute a build) and not at all at S = 8, where every figure of ours is taken once.\n\n"
      << "- load: `loadWorld` (read, decode, demo levels, checks); reference: the six files "
         "read whole with read(2) into fresh memory. The checks alone are timed as well.\n"
      << "- build: destroying the triangle array and building it again, lists included; "
         "reference: the plain sequence deleting its block, reserving a new one and filling "
         "it. The first and last eighths of both are timed per list.\n"
      << "- frame: `paintGL` then glFinish in the start view; references: (a) the same lists "
         "called in a bare loop under the same view, (p) the plain sequence's lists called in "
         "the same bare loop, (b) the same triangles and outline lines from two client vertex "
         "arrays with glDrawArrays, the limit of what GL can do with them.\n"
      << "- pick: `pickVertex` at the window centre, which repaints the window when it is done; "
         "references: the selection pass alone, and the selection pass with a bare frame and "
         "a buffer swap.\n"
      << "- edit: one `raiseVertex` of the vertex under the centre (and of vertex 0), undone "
         "outside the count; set beside the same figure at S = 3, and beside the plain "
         "sequence compiling the same lists again in place.\n"
      << "- save: `saveTerrain`; references: the same bytes written raw, and written beside "
         "the file, flushed with fdatasync and renamed over it.\n"
      << "- restore: `restoreTerrain` (read, then the whole build again); references: the "
         "same bytes read raw, and the raw read followed by the plain sequence's rebuild.\n"
      << "- memory: peak RSS after start-up, and per triangle above the RSS of the same "
         "process (GL driver loaded) before the world is loaded; reference: how much the RSS "
         "grew while the plain sequence built its lists, per triangle.\n\n"
      << "## Figures\n\n"
      << markdownTable(rows) << "\n"
      << "## Targets\n\n"
      << targetTable(rows) << "\n"
      << "## Display-list compilation per triangle\n\n"
      << "The first and last eighths show what one list costs when few and when many lists "
         "exist already: equal when the build grows linearly. An empty list and a reserved "
         "name show what GL charges for a list without content.\n\n"
      << compileCurve(rows);
    return out;
}

QString csvReport(const QVector<Measurement> &rows)
{
    QString out =
        QStringLiteral("figure,reference,subdivision,triangles,ours,reference_value,ratio,unit\n");
    for (const Measurement &m : rows)
        out += toCsvLine(m) + '\n';
    return out;
}

QString textTable(const QVector<Measurement> &rows)
{
    QString out;
    QTextStream s(&out);
    for (const Measurement &m : rows) {
        const QStringList c = cells(m);
        s << qSetFieldWidth(10) << c[0] << qSetFieldWidth(3) << c[1] << qSetFieldWidth(9) << c[2]
          << qSetFieldWidth(14) << c[3] << qSetFieldWidth(0) << "  " << c[4] << "  " << c[5] << "  "
          << c[6] << "\n";
    }
    return out;
}
