// Where water runs on a world: every land vertex drains along a triangle edge
// to one neighbour, depressions fill into lakes that spill on, and each
// vertex carries the area of everything that drains through it.
//
// The rules, in order:
// - water is level 0: such vertices are sea. Other levels are heights; levels
//   outside 1..9 lie on the sea's sphere, so they count as height 0 but land;
// - the filled surface: priority-flood from the sea (or, in a world without
//   sea, from the vertices of the lowest level, which become lakes without
//   outlet) along the triangle edges; a vertex's filled level is the lowest
//   level at which water standing on it could leave. A vertex whose filled
//   level is above its own level is under a lake;
// - each land vertex drains to the neighbour of steepest descent of the
//   filled surface: level drop over great-circle distance, the first in
//   increasing neighbour number on a tie. On flats (no lower neighbour),
//   Barnes, Lehman and Mulla's flat resolution (2014) on the graph: towards
//   the flat's outlets, away from the higher ground around it, the two
//   distances in edges combined as 2 x towards + away;
// - a vertex's cell is a third of each spherical triangle around it; its flow
//   is its cell's area plus the flow of every vertex draining into it, in km²
//   on a sphere of the given radius;
// - a basin is every land vertex draining to the sea through one outlet (the
//   last land vertex before the sea).
//
// The result depends on the world alone: the same world gives the same
// drainage, bit for bit.
#ifndef DRAINAGE_H
#define DRAINAGE_H

#include "sphere/sphere.h"
#include "sphere/spheregraph.h"
#include "world/world.h"

#include <vector>

struct Lake
{
    int level = 0;             // the filled level: its surface
    double areaKm2 = 0;        // its vertices' cells
    int outlet = -1;           // the first vertex downstream outside it; -1 for none (a sink)
    std::vector<int> vertices; // increasing
};

struct Basin
{
    int outlet = -1;    // the last land vertex before the sea
    int mouth = -1;     // the sea vertex it drains into
    double areaKm2 = 0; // the outlet's flow
};

// The graph (sphere/spheregraph.h) and where water runs on it.
struct Drainage : SphereGraph
{
    std::vector<int> level;      // the world's level per vertex
    std::vector<int> filled;     // the filled surface; 0 on the sea
    std::vector<int> receiver;   // where v drains; -1 for sea and sinks
    std::vector<int> order;      // land vertices, every one before its receiver
    std::vector<double> cellKm2; // a third of each triangle around v
    std::vector<double> flowKm2; // cell plus upstream; 0 on the sea
    std::vector<int> lakeOf;     // index into lakes, or -1
    std::vector<int> basinOf;    // index into basins, or -1 (sea, or draining to a sink)
    std::vector<Lake> lakes;     // ordered by their lowest vertex
    std::vector<Basin> basins;   // ordered by outlet
    double landKm2 = 0;          // the land vertices' cells

    bool isSea(int v) const { return level[v] == 0; }
};

// The drainage of a sound world (world.h) on a sphere of radiusKm.
Drainage computeDrainage(const World &world, double radiusKm = earthRadiusKm);

#endif
