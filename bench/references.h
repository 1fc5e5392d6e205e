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

// The same glNewList ... glEndList sequence as the triangles compile, for
// triangles from to to - 1, into the block that starts at base.
void compileBareLists(const BareMesh &mesh, GLuint base, int from, int to);
// count lists holding nothing: what a list costs GL when it has no content.
void compileEmptyLists(GLuint base, int count);

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
// The least a crash-safe replacement costs: a file beside path written and
// flushed to disk with fdatasync(2), then renamed over path.
bool replaceDurably(const QString &path, const QByteArray &bytes);

#endif
