// The heights a world's levels stand for, in metres: heights.txt in the
// world folder, beside the tables. The editor ignores it; import and
// generate write it, check validates it, and the commands that reason in
// metres (erosion, the climate) read it.
//
// The file is text, at most 4 KiB: lines starting with '#' and blank lines
// are comments; then, in any order, one line "level K METRES" for each K
// from 1 to 9, and at most one line "sea METRES", the sea's mean depth
// (positive, metres below level 0). The nine heights are finite and
// strictly increasing with the level, and above 0; nothing else may stand
// on a line. Level 0 is the sea's surface, 0 m.
#ifndef LEVELHEIGHTS_H
#define LEVELHEIGHTS_H

#include "world/status.h"

#include <QByteArray>
#include <QString>

#include <array>

const char *const heightsFileName = "heights.txt";

struct LevelHeights
{
    bool known = false;             // the world records them
    std::array<double, 9> metres{}; // level 1 .. 9
    bool seaKnown = false;
    double seaDepthM = 0;

    double metresOf(int level) const { return level >= 1 && level <= 9 ? metres[level - 1] : 0; }
};

// What is wrong with nine heights of levels 1..9, wherever they come from
// (the file, a command's --heights): empty when each is finite, above 0 and
// above the one below it; else "level K's height does not rise above ...".
QString heightsFault(const std::array<double, 9> &metres);

// The heights of the file's text; refused as "heights.txt: REASON" (naming
// the first line that breaks the rules) when it breaks them.
Status parseLevelHeights(const QByteArray &text, LevelHeights *heights);

// The heights of DIR's heights.txt: known = false, and ok, when the folder
// holds none; refused when it is no regular file, too large or broken.
Status readLevelHeights(const QString &dir, LevelHeights *heights);

// The file's text for known heights, which parseLevelHeights reads back
// exactly (17 significant digits where needed, the shortest form else).
QByteArray levelHeightsBytes(const LevelHeights &heights);

// Nine heights from a peak: level k at the middle of its band,
// (k − 1/2) · peak / 9, as the import's linear bands place it.
LevelHeights heightsFromPeak(double peakMetres);

// What a world without the file stands for: heightsFromPeak(4500), about
// the Earth's land (its 9th level at 4250 m).
LevelHeights defaultLevelHeights();

#endif
