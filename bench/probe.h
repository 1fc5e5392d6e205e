// One world measured in one process: the real Scene3D in a 500x500 window,
// each figure beside its reference, printed as CSV lines on stdout.
#ifndef BENCH_PROBE_H
#define BENCH_PROBE_H

#include <QString>

struct ProbePlan
{
    QString worldDir;
    int subdivision = 0;
    int buildReps = 3;  // for figures that compile every list
    int frameReps = 5;  // for figures that draw the whole globe
    int lightReps = 11; // for file work and single edits
    int plainReps = 3;  // for the plain sequence's builds and restores; 0: none
};

// Runs inside a QApplication; the world directory becomes the working
// directory. Returns the process exit status.
int runProbe(const ProbePlan &plan);

#endif
