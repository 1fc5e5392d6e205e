#include "world/progress.h"

#include <unistd.h>

#include <cmath>

namespace {

const int ticks = 40; // 2.5 percent each

} // namespace

Progress::Progress() : Progress(stderr, 1000) {}

Progress::Progress(FILE *to, int delayMs)
    : to(to), shown(::isatty(fileno(to)) == 1), delayMs(delayMs)
{
    clock.start();
}

Progress::~Progress()
{
    finish(false);
}

void Progress::update(double fraction)
{
    if (!shown || ended)
        return;
    // NaN counts as no progress.
    const int tick = fraction >= 1 ? ticks : fraction > 0 ? int(std::floor(fraction * ticks)) : 0;
    if (tick > reached)
        reached = tick;
    if (clock.elapsed() >= delayMs)
        printTo(reached);
}

void Progress::finish(bool done)
{
    if (ended)
        return;
    ended = true;
    // Long work whose last update came early still shows that it ran.
    if (!shown || (printed < 0 && !(done && clock.elapsed() >= delayMs)))
        return;
    if (done)
        printTo(ticks);
    std::fputs(done ? " - done.\n" : "\n", to);
    std::fflush(to);
}

void Progress::printTo(int tick)
{
    if (tick <= printed)
        return;
    while (printed < tick) {
        ++printed;
        if (printed % 4 == 0)
            std::fprintf(to, "%d", printed / 4 * 10);
        else
            std::fputc('.', to);
    }
    std::fflush(to);
}

void ProgressPart::update(double fraction) const
{
    if (whole)
        whole->update(from + (to - from) * fraction);
}

void ProgressPart::update(long long done, long long total) const
{
    if (whole && total > 0)
        update(double(done) / double(total));
}

ProgressPart ProgressPart::part(double partFrom, double partTo) const
{
    ProgressPart inner = *this;
    inner.from = from + (to - from) * partFrom;
    inner.to = from + (to - from) * partTo;
    return inner;
}
