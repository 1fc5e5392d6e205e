// Raising and lowering one vertex. The triangles hold the live levels: an
// edit rewrites the vertex's corner in every triangle of its fan and leaves
// vertexLevels alone until the next save.
#ifndef ELEVATION_H
#define ELEVATION_H

class Triangle;

// The vertex's level as the first triangle of its fan holds it.
int getVertexLevel(int vertex, const Triangle *triangles);

// Sets the vertex's level, clamped to 0..9, in every triangle of its fan (a
// repeated last entry included) and moves those corners. The six fan entries
// are written to f0..f5. Compiles no list.
void setVertexLevel(int vertex, int level, Triangle *triangles, int &f0, int &f1, int &f2, int &f3,
                    int &f4, int &f5);

// One edit step (+1 raises, -1 lowers): sets the level and recompiles the
// five or six fan lists, each once. Needs the GL context current.
void stepVertexLevel(int vertex, int step, Triangle *triangles);

#endif
