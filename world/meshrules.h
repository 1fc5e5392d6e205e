// How the mesh tables are laid out around a vertex, for every layer that
// walks them: the generator and its checks, the editing, the marker.
#ifndef MESHRULES_H
#define MESHRULES_H

// 0, 1 or 2 when vertex v is corner A, B or C of the triangle whose three
// corners start at corners; -1 when it is none of them.
inline int cornerIndex(const int *corners, int v)
{
    return corners[0] == v ? 0 : corners[1] == v ? 1 : corners[2] == v ? 2 : -1;
}

// The distinct triangles of a vertex's fan of six entries: 5 when the last
// entry repeats the one before it (a vertex of five triangles), else 6. They
// are the first fanTriangleCount(fan) entries.
inline int fanTriangleCount(const int *fan)
{
    return fan[5] == fan[4] ? 5 : 6;
}

#endif
