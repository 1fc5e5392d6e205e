// The globe as the editor draws it, taken from a world: every corner
// at its level's radius, every corner in its level's colour. The exports and
// the maps start from this so that they cannot drift from the editor's rules.
#ifndef DRAWNMESH_H
#define DRAWNMESH_H

#include "world/world.h"

#include <QVector>

#include <vector>

struct DrawnMesh
{
    QVector<float> positions; // x, y, z per vertex: cornerPosition at levelRadius
    QVector<float> angles;    // polar angle and azimuth per vertex, as in base003.dat
    QVector<int> levels;      // one per vertex, as given (possibly outside 0..9)
    QVector<int> corners;     // A, B, C per triangle, counter-clockwise from outside
    std::vector<char> wet;    // empty, or 1 per vertex coloured as water (water/rivers.h)

    int vertexCount() const { return levels.size(); }
    int triangleCount() const { return corners.size() / 3; }
};

// Builds the mesh of a sound world (its counts, angles, corners and
// subdivision) with its levels, one per vertex.
DrawnMesh drawnMesh(const World &world);

// Exaggerated relief for the exports: every vertex of level L in 1..9 at
// baseSphereRadius x (1 + share x L / 9), the others on the base sphere, so
// that level 9 stands share of the sea's radius above it. Only the
// positions change.
void setRelief(DrawnMesh &mesh, double share);

// A level's colour as the editor's 8-bit framebuffer holds it: round(c * 255)
// of each channel of Triangle::levelColor (black outside 0..9).
struct Rgb8
{
    unsigned char red, green, blue;
};
Rgb8 levelRgb8(int level);

// The level whose colour and filament vertex v takes: 0 where the mesh marks
// it wet, else its own.
int shownLevel(const DrawnMesh &mesh, int v);

// The colour a 3D file gives vertex v: its shown level's.
Rgb8 vertexRgb8(const DrawnMesh &mesh, int v);

// round(c * 255) of a colour channel from 0 to 1.
unsigned char channel8(float c);

#endif
