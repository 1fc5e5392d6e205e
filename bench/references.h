// The bare references: the least work that gives the same result as our code,
// with no Triangle object, no Qt container and no checks in the way.
#ifndef BENCH_REFERENCES_H
#define BENCH_REFERENCES_H

#include <GL/gl.h>
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

class Triangle;

// What the display lists hold, as plain arrays: the face corners with their
// colours, and the lifted outline edges in the order the lists draw them.
struct BareMesh
{
    int triangles = 0;
    std::vector<GLfloat> corners; // 9 per triangle: A, B, C
    std::vector<GLfloat> colours; // 9 per triangle: RGB of A, B, C
    std::vector<GLfloat> lines;   // 6 per outline edge
    std::vector<int> firstLine;   // per triangle, and one past the last
};

BareMesh bareMeshOf(const Triangle *triangles, int count);

// One glGenLists block and the same glNewList ... glEndList sequence as the
// triangles compile. Returns the block's first name (0 when refused).
GLuint compileBareLists(const BareMesh &mesh);

// A frame as paintGL starts it (clear, view, culling), then the triangles.
void beginFrame(const GLfloat view[16]);
void callLists(GLuint base, int count);
void drawVertexArrays(const BareMesh &mesh);

// The selection pass of a pick at window point (x, y), as the window sets it
// up; returns the hit count.
GLint selectionPass(const BareMesh &mesh, int x, int y, float aspect);

// Reads the files whole into fresh memory with read(2); returns the bytes.
qint64 readRaw(const QStringList &paths);
// Writes bytes to path with open(2), write(2) and close(2).
bool writeRaw(const QString &path, const QByteArray &bytes);

#endif
