// Plate tectonics on the sphere's graph, as a world generator's first step:
// plates grown from seeds, each continental or oceanic and turning about its
// own Euler pole, and the relief their boundaries raise (docs/erosion.md).
//
// - Plates: seeds spread at random, grown over the graph by a weighted
//   nearest-seed flood (each plate its own growth rate, the edges' lengths
//   roughened by noise), so that plates differ in size and have ragged
//   edges. Plates are made continental in seed order until they cover 35%
//   of the sphere, passing over any that would bring the share past 43%.
// - Motion: each plate turns at 0.3 to 1 (arbitrary units) about a random
//   pole. At an edge between plates P and Q the velocity of P relative to Q
//   splits into a part along the edge (towards Q: convergent; away:
//   divergent) and one across it: where the part along is less than half
//   the part across, the boundary is a transform.
// - Relief, in metres: continental crust 500, oceanic -4000, with noise of
//   900; at convergent boundaries collision plateaus (continent and
//   continent, on both sides, 350 km wide), coastal ranges over subduction
//   (on the continent, peaking 100 km inland, a trench on the ocean side)
//   and island arcs (ocean and ocean, on the lighter plate, 100 km from the
//   trench); at divergent boundaries rifts in continents and ridges in
//   oceans. Every effect grows with the speed of convergence.
#ifndef PLATES_H
#define PLATES_H

#include "terrain/vec3.h"
#include "water/drainage.h"

#include <QVector>
#include <QtGlobal>

#include <vector>

const int defaultPlateCount = 12;
const int minPlateCount = 2;
const int maxPlateCount = 100;

enum class BoundaryKind { Convergent, Divergent, Transform };

// "convergent", "divergent" or "transform".
const char *boundaryKindName(BoundaryKind kind);

struct PlateEdge
{
    int a = -1, b = -1; // a graph edge, a < b, its ends on different plates
    BoundaryKind kind = BoundaryKind::Transform;
    double convergence = 0; // 0 to 1: the speed towards each other
};

struct Plates
{
    std::vector<int> plateOf;      // per vertex
    std::vector<char> continental; // per plate
    std::vector<Vec3> rotation;    // per plate: its pole times its angular speed
    std::vector<PlateEdge> edges;  // every graph edge between two plates
};

// count plates (minPlateCount .. maxPlateCount, at most the graph's
// vertices) on graph; the same graph, count and seed give the same plates.
Plates growPlates(const Drainage &graph, int count, quint32 seed);

// The relief plates raise, in metres, per vertex.
std::vector<double> plateRelief(const Drainage &graph, const Plates &plates, quint32 seed);

// A boundary as a line through the centres of the triangles along it: one
// line per run of edges between the same two plates of one kind.
struct BoundaryLine
{
    BoundaryKind kind = BoundaryKind::Transform;
    std::vector<Vec3> points; // unit directions, in order
};
std::vector<BoundaryLine> boundaryLines(const Drainage &graph, const Plates &plates);

#endif
