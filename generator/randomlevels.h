// Seeded, smooth terrain levels for points on the unit sphere.
#ifndef RANDOMLEVELS_H
#define RANDOMLEVELS_H

#include "terrain/vec3.h"

#include <QVector>

#include <vector>

// Levels 0..9: about 70% sea (level 0) and 30% land, mountain ranges of
// levels 7..9 running along ridges inside the land. Shares are set by rank,
// so they hold at every mesh size. Uses only integer hashing and basic
// double arithmetic, so the result is the same on every IEEE machine.
// points are unit vectors.
QVector<int> randomLevels(const std::vector<Vec3> &points, quint32 seed);

// Levels by rank, with randomLevels' shares: the lowest 70% of the points by
// height are sea, the rest land on levels 1..9 by elevation, the last three
// levels holding 11% of the land. Ties go by index. height and elevation
// hold one value per point.
QVector<int> levelsByRank(const std::vector<double> &height, const std::vector<double> &elevation);

#endif
