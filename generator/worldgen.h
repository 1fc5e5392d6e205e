// Generating a whole world: a geodesic icosahedral sphere with its tables.
//
// The header written (base001.dat, 11 entries):
//   [0] subdivision S        [1] frequency 2^S        [2] edge count 30*4^S
//   [3] triangle count / 2   [4] 0                    [5] 12, the five-triangle vertices
//   [6] format version 1     [7..9] 0                 [10] vertex count 10*4^S + 2
// so that the editor's triangle count [4] + 2*[3] is 20*4^S.
//
// Numbering: vertex 0 is the north pole; the others follow ring by ring
// (graph distance from vertex 0), by azimuth within a ring, so the built-in
// demo terrain over the first vertices forms an island around the pole.
// Corners are counter-clockwise seen from outside; the outline flags outline
// every edge exactly once. A fan starts at the vertex's lowest-numbered
// triangle and goes counter-clockwise seen from outside.
#ifndef WORLDGEN_H
#define WORLDGEN_H

#include "world/world.h"

#include <QString>
#include <QVector>

struct WorldRecipe
{
    int subdivision = 4; // 0 to maxSubdivision
    enum Terrain { Flat, Random } terrain = Random;
    quint32 seed = 1; // Random levels depend on it and on nothing else
    bool demo = false;
};

const int maxSubdivision = 8;

// Same recipe, same tables, byte for byte, on any machine. The world is
// sound, with its counts set.
World generateWorld(const WorldRecipe &recipe);

#endif
