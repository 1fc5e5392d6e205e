// Where a vertex stands among a triangle's corners, for the code that walks
// the mesh (the generator and its checks).
#ifndef CORNERINDEX_H
#define CORNERINDEX_H

// 0, 1 or 2 when vertex v is corner A, B or C of the triangle whose three
// corners start at corners; -1 when it is none of them.
inline int cornerIndex(const int *corners, int v)
{
    return corners[0] == v ? 0 : corners[1] == v ? 1 : corners[2] == v ? 2 : -1;
}

#endif
