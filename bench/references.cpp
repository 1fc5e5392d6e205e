#include "references.h"

#include "terrain/triangle.h"

#include <GL/glu.h>
#include <QFile>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

struct Corner
{
    int level;
    float theta, phi;
    const GLfloat *position;
};

void appendCorner(BareMesh &mesh, const Corner &c)
{
    float rgb[3];
    Triangle::levelColor(c.level, rgb[0], rgb[1], rgb[2]);
    mesh.corners.insert(mesh.corners.end(), c.position, c.position + 3);
    mesh.colours.insert(mesh.colours.end(), rgb, rgb + 3);
}

void appendLifted(BareMesh &mesh, const Corner &c)
{
    float radius, lifted[3];
    Triangle::levelRadius(c.level, radius);
    cornerPosition(double(radius) + double(surfaceLift), c.theta, c.phi, lifted);
    mesh.lines.insert(mesh.lines.end(), lifted, lifted + 3);
}

void appendTriangle(BareMesh &mesh, const Triangle &t)
{
    const GLfloat a[3] = {t.getAx(), t.getAy(), t.getAz()};
    const GLfloat b[3] = {t.getBx(), t.getBy(), t.getBz()};
    const GLfloat c[3] = {t.getCx(), t.getCy(), t.getCz()};
    const Corner corners[3] = {{t.getLevelA(), t.getThetaA(), t.getPhiA(), a},
                               {t.getLevelB(), t.getThetaB(), t.getPhiB(), b},
                               {t.getLevelC(), t.getThetaC(), t.getPhiC(), c}};
    for (const Corner &corner : corners)
        appendCorner(mesh, corner);
    mesh.firstLine.push_back(int(mesh.lines.size() / 6));
    const int single[] = {0, 1}, pair[] = {2, 0, 1, 2};
    const bool one = t.getOutlineFlag() != 0;
    for (int k = 0; k < (one ? 2 : 4); ++k)
        appendLifted(mesh, corners[one ? single[k] : pair[k]]);
}

void emitLine(const GLfloat *ends)
{
    glBegin(GL_LINES);
    glVertex3fv(ends);
    glVertex3fv(ends + 3);
    glEnd();
}

void compileBareList(const BareMesh &mesh, GLuint list, int t)
{
    glNewList(list, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    for (int k = 0; k < 3; ++k) {
        const GLfloat *rgb = &mesh.colours[size_t(9 * t + 3 * k)];
        glColor4f(rgb[0], rgb[1], rgb[2], 1.0f);
        glVertex3fv(&mesh.corners[size_t(9 * t + 3 * k)]);
    }
    glEnd();
    glLineWidth(1.0f);
    glColor4f(0.5f, 0.5f, 0.5f, 1.0f);
    for (int line = mesh.firstLine[size_t(t)]; line < mesh.firstLine[size_t(t) + 1]; ++line)
        emitLine(&mesh.lines[size_t(6 * line)]);
    glEndList();
}

} // namespace

BareMesh bareMeshOf(const Triangle *triangles, int count)
{
    BareMesh mesh;
    mesh.triangles = count;
    for (int t = 0; t < count; ++t)
        appendTriangle(mesh, triangles[t]);
    mesh.firstLine.push_back(int(mesh.lines.size() / 6));
    return mesh;
}

void compileBareLists(const BareMesh &mesh, GLuint base, int from, int to)
{
    for (int t = from; t < to; ++t)
        compileBareList(mesh, base + GLuint(t), t);
}

void compileEmptyLists(GLuint base, int count)
{
    for (int i = 0; i < count; ++i) {
        glNewList(base + GLuint(i), GL_COMPILE);
        glEndList();
    }
}

void beginFrame(const GLfloat view[16])
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view);
    glEnable(GL_CULL_FACE);
}

void callLists(GLuint base, int count)
{
    for (int i = 0; i < count; ++i)
        glCallList(base + GLuint(i));
}

void drawVertexArrays(const BareMesh &mesh)
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, mesh.corners.data());
    glColorPointer(3, GL_FLOAT, 0, mesh.colours.data());
    glDrawArrays(GL_TRIANGLES, 0, 3 * mesh.triangles);
    glDisableClientState(GL_COLOR_ARRAY);
    glLineWidth(1.0f);
    glColor4f(0.5f, 0.5f, 0.5f, 1.0f);
    glVertexPointer(3, GL_FLOAT, 0, mesh.lines.data());
    glDrawArrays(GL_LINES, 0, GLsizei(mesh.lines.size() / 3));
    glDisableClientState(GL_VERTEX_ARRAY);
}

GLint selectionPass(const BareMesh &mesh, int x, int y, float aspect)
{
    GLuint buffer[4];
    GLint viewport[4];
    glSelectBuffer(4, buffer);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);
    glLoadIdentity();
    gluPickMatrix(x, double(viewport[3]) * double(aspect) - y, 1.0, 1.0, viewport);
    glOrtho(-1, 1, -1, 1, -10, 1);
    for (int t = 0; t < mesh.triangles; ++t) {
        glLoadName(GLuint(t + 1));
        glBegin(GL_TRIANGLES);
        for (int k = 0; k < 3; ++k)
            glVertex3fv(&mesh.corners[size_t(9 * t + 3 * k)]);
        glEnd();
    }
    const GLint hits = glRenderMode(GL_RENDER);
    glPopMatrix();
    return hits;
}

qint64 readRaw(const QStringList &paths)
{
    qint64 total = 0;
    for (const QString &path : paths) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        struct stat info;
        if (fd < 0 || ::fstat(fd, &info) != 0)
            return -1;
        std::unique_ptr<char[]> buffer(new char[size_t(info.st_size)]);
        for (off_t done = 0; done < info.st_size;) {
            const ssize_t got = ::read(fd, buffer.get() + done, size_t(info.st_size - done));
            if (got <= 0)
                break;
            done += got;
        }
        total += info.st_size;
        ::close(fd);
    }
    return total;
}

namespace {

bool writeFile(const QString &path, const QByteArray &bytes, bool flush)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size() &&
                         (!flush || ::fdatasync(fd) == 0);
    return ::close(fd) == 0 && written;
}

} // namespace

bool writeRaw(const QString &path, const QByteArray &bytes)
{
    return writeFile(path, bytes, false);
}

bool replaceDurably(const QString &path, const QByteArray &bytes)
{
    const QString beside = path + QStringLiteral(".new");
    return writeFile(beside, bytes, true) && ::rename(QFile::encodeName(beside).constData(),
                                                      QFile::encodeName(path).constData()) == 0;
}
