// Progress of long work, as GDAL's own tools show it: one line on stderr
// that grows "0...10...20...30...40...50...60...70...80...90...100 - done.",
// a dot or a number for every 2.5 percent.
//
// Scripts and tests read one-line outputs, so the line is shown only when its
// stream is a terminal, and only once the work has run for a while: work
// that ends within about a second shows nothing at all.
#ifndef PROGRESS_H
#define PROGRESS_H

#include <QElapsedTimer>

#include <cstdio>

class Progress
{
public:
    // On stderr, from one second after construction.
    Progress();
    // On to, from delayMs after construction; shown only if to is a terminal.
    Progress(FILE *to, int delayMs);
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;
    // Ends a begun line, as finish(false) does.
    ~Progress();

    // The fraction of the whole work done, 0 to 1; a value below the last
    // one changes nothing.
    void update(double fraction);
    // The work has ended: done, the line runs to "100 - done."; otherwise it
    // stops where it was, so that an error starts on a line of its own.
    // Nothing when the line never began, unless the work is done and ran
    // past the delay; nothing after the first call.
    void finish(bool done = true);

private:
    void printTo(int tick);

    FILE *to;
    bool shown;
    qint64 delayMs;
    QElapsedTimer clock;
    int printed = -1; // the last of the 41 ticks (0 to 40) printed
    int reached = 0;  // the tick the work has reached
    bool ended = false;
};

// A stretch of a Progress: its fractions 0 to 1 are from to to of the whole.
// The default one reports nowhere, so that a library function can take one
// whether or not its caller shows progress.
class ProgressPart
{
public:
    ProgressPart() = default;
    // Not explicit: a Progress passes as the whole of its work.
    ProgressPart(Progress &whole) : whole(&whole) {}
    void update(double fraction) const;
    // done of total steps (rows, vertices, files).
    void update(long long done, long long total) const;
    ProgressPart part(double from, double to) const;

private:
    Progress *whole = nullptr;
    double from = 0, to = 1;
};

#endif
