// Measurements, how they travel from a probe process to the driver (one CSV
// line each), and the reports written from them: markdown and CSV.
#ifndef BENCH_REPORT_H
#define BENCH_REPORT_H

#include <QString>
#include <QStringList>
#include <QVector>

struct Measurement
{
    QString figure;    // what of ours was measured: "load", "frame", ...
    QString reference; // what it is set beside; empty when nothing is
    int subdivision = 0;
    qint64 triangles = 0;
    double ours = 0.0;
    double referenceValue = 0.0; // meaningful only when reference is not empty
    QString unit;                // of both values

    bool hasReference() const { return !reference.isEmpty(); }
    double ratio() const;
};

QString toCsvLine(const Measurement &m);
// False for a line that is not a measurement (a probe's other output).
bool fromCsvLine(const QString &line, Measurement &m);

struct RunInfo
{
    QString cpu;
    QString renderer;
    QString date;
};

// The first "model name" of /proc/cpuinfo and the number of processors.
QString describeCpu();

struct TargetCheck
{
    QString target;
    QString measured;
    enum Verdict { Met, Missed, NotMeasured } verdict = NotMeasured;
};

QVector<TargetCheck> checkTargets(const QVector<Measurement> &rows);

// Every figure a probe measures, and those missing from rows for a size.
QStringList expectedFigures();
QStringList missingFigures(const QVector<Measurement> &rows, const QVector<int> &sizes);

QString markdownReport(const QVector<Measurement> &rows, const RunInfo &info);
QString csvReport(const QVector<Measurement> &rows);
// The plain table printed on the terminal.
QString textTable(const QVector<Measurement> &rows);

#endif
