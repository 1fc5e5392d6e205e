// The driver: makes one world per size, measures each in a probe process of
// its own (so that memory peaks and GL state do not carry over from one size
// to the next), and writes the reports.
#ifndef BENCH_ORCHESTRATE_H
#define BENCH_ORCHESTRATE_H

#include <QString>
#include <QVector>

struct BenchOptions
{
    QVector<int> sizes;
    QString outDir;         // where performance.md and .csv go
    bool fixedReps = false; // smoke runs: a few repetitions whatever the size
};

// self is this program's path, run again with --probe for each world.
int runBench(const BenchOptions &options, const QString &self);

#endif
