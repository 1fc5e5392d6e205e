// A world's land eroded towards the steady state of uplift and erosion
// (streampower.h), its levels read as the uplift and the heights turned back
// into levels.
//
// - Uplift: a land vertex of level L rises at maxUpliftMmPerYear x (L / T)²
//   mm/yr, T the highest land level present (1..9), so that land painted
//   high keeps rising fastest and stays high. Land starts at L x 300 m,
//   with a small deterministic roughness (a few metres, from the vertex
//   number) so that water chooses among equal slopes as nature does, not
//   by the order of the vertex numbers.
// - Levels back by the world's own hypsometry: the land ranked by eroded
//   height takes the levels it held before, as many vertices of each as
//   there were, lowest level lowest (land of one level only: T bands of
//   equal height). Every land vertex stays land, every sea vertex sea, the
//   top level stays the top, and along every river the levels never rise,
//   so the world drains to the sea with no lake (lakes only where land is
//   cut off from the sea). Since each level keeps its share of the land, a
//   world's recorded heights (levelheights.h) still hold and are kept.
// - The heights the eroded levels stand for: each level's mean eroded
//   height in metres; a level no vertex holds is interpolated between its
//   neighbours (or continued beyond the top at the top's mean step).
// - Levels outside 1..9 count as level 1 land.
#ifndef EROSION_H
#define EROSION_H

#include "erosion/streampower.h"
#include "world/levelheights.h"
#include "world/optiontexts.h"
#include "world/progress.h"
#include "world/status.h"
#include "world/world.h"

#include <QString>
#include <QVector>

const int defaultErosionSteps = 50;
const int maxErosionSteps = 1000;
const double defaultErosionStrength = 1;
const double maxErosionStrength = 100;
const double maxUpliftMmPerYear = 1;

struct ErosionOptions
{
    int steps = defaultErosionSteps;          // 1 .. maxErosionSteps
    double strength = defaultErosionStrength; // above 0 .. maxErosionStrength: K's multiple
    ProgressPart progress;
};

// The erode command's options from their texts (--steps, --strength; not
// given: the defaults), or one usage line saying which is wrong: steps a
// whole number from 1 to maxErosionSteps, strength a finite number above 0
// up to maxErosionStrength.
Status checkErosionOptions(const OptionTexts &given, ErosionOptions *options);

// The stream-power parameters options stand for.
StreamPower streamPowerOf(const ErosionOptions &options);

// world's graph with levels (one per vertex) eroded as above, with heights
// (when asked) the metres they stand for. A world with no land or no sea
// comes back as it was, its heights unknown.
QVector<int> erodedLevels(const World &world, const QVector<int> &levels,
                          const ErosionOptions &options, LevelHeights *heights = nullptr);

// What erode did, for the user.
struct ErosionReport
{
    int landVertices = 0;
    int topLevel = 0;
    bool unchanged = false; // no land: nothing written
};

// The erode command: the starting levels of the world loaded from dir
// (base002.dat, read once, as stored) eroded, the old file kept as
// base002.dat.bak, both written or neither. A world without land is left as
// it is; one without sea is refused, in one line.
Status erodeWorld(const QString &dir, const World &world, const ErosionOptions &options,
                  ErosionReport *report);

#endif
