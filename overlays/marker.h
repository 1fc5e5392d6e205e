// The vertex marker: a magenta dot on the vertex and a red ring through its
// neighbours, drawn in immediate mode over the globe each frame. It is
// recomputed from the triangles' current levels every time, so it follows
// edits at once.
#ifndef MARKER_H
#define MARKER_H

class Triangle;

// Draws the marker of vertex over the triangle array: the dot, then one ring
// edge per fan triangle (a repeated last fan entry is not drawn twice).
// Needs a checked world and the GL context current.
void drawVertexMarker(int vertex, Triangle *triangles);

#endif
