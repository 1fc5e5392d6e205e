// The cell of a vertex as polygons in longitude and latitude, for the GIS
// files: the ring through the centres of the triangles around it, so that
// the cells of two neighbours share their edge point for point and the
// cells of all vertices tile the sphere.
//
// Edges are straight in longitude and latitude. A cell that crosses the
// antimeridian is cut there into two rings, one at +180 and one at -180
// degrees, the crossing's latitude computed from the two ends' own
// longitudes so that both neighbours find the same point. A cell around a
// pole is closed along the pole's parallel (latitude +90 or -90). Rings are
// counter-clockwise (east right, north up), not closed (the first point is
// not repeated).
#ifndef CELLS_H
#define CELLS_H

#include "water/drainage.h"

#include <vector>

using Ring = std::vector<LonLat>;

// One ring, or two for a cell the antimeridian cuts.
std::vector<Ring> cellRings(const Drainage &drainage, int vertex);

// A polygon of the GIS files: its outer ring counter-clockwise, its holes
// clockwise, none closed.
struct CellPolygon
{
    Ring shell;
    std::vector<Ring> holes;
};

// What the cells of vertices cover, traced from their rings' edges in time
// linear in the edges (a hole placed in its shell by a test against the
// shells' rings): every edge two of the cells share cancels, the rest,
// each once, are chained into closed rings, turning as far left as they
// can where the boundary touches itself, so that two parts meeting at a
// point stay two rings and every ring is simple. The antimeridian's cut
// edges and the poles' parallels stay, as a longitude/latitude polygon
// must have them. The same area as the union of the cells' rings (equal
// by GEOS's equality), without merging them.
std::vector<CellPolygon> cellRegion(const Drainage &drainage, const std::vector<int> &vertices);

#endif
