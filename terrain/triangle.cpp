#include "terrain/triangle.h"

#include "terrain/listpadding.h"
#include "world/worldtables.h"

const float surfaceLift = 0.001f;

int Triangle::nextIndex = 0;
GLuint Triangle::listBase = 0;

namespace {

bool listBlockReserved = true;

double radiusOf(int level)
{
    float radius;
    Triangle::levelRadius(level, radius);
    return radius;
}

void emitColoredCorner(int level, const float position[3])
{
    float red, green, blue;
    Triangle::levelColor(level, red, green, blue);
    glColor4f(red, green, blue, 1.0f);
    glVertex3fv(position);
}

// The grey is recorded inside the primitive, before its first vertex: both
// ends are grey as before, and the outline's vertices carry a colour as the
// face's do, which lets Mesa keep one vertex layout for the whole list
// instead of making new vertex array objects for every list.
void emitLine(const float from[3], const float to[3])
{
    glBegin(GL_LINES);
    glColor4f(0.5f, 0.5f, 0.5f, 1.0f);
    glVertex3fv(from);
    glVertex3fv(to);
    glEnd();
}

} // namespace

Triangle::Triangle()
{
    const int i = nextIndex;
    const int *row = triangleCorners.constData() + 4 * i;
    vertexA = row[0];
    vertexB = row[1];
    vertexC = row[2];
    outlineFlag = row[3];
    const int *levels = vertexLevels.constData();
    const float *coords = vertexCoords.constData();
    levelA = levels[vertexA];
    thetaA = coords[2 * vertexA];
    phiA = coords[2 * vertexA + 1];
    levelB = levels[vertexB];
    thetaB = coords[2 * vertexB];
    phiB = coords[2 * vertexB + 1];
    levelC = levels[vertexC];
    thetaC = coords[2 * vertexC];
    phiC = coords[2 * vertexC + 1];
    placeCorners();
    if (i == 0)
        reserveLists();
    listId = listBase + GLuint(i);
    if (listBlockReserved)
        recordList();
    nextIndex = i + 1;
}

void Triangle::reserveLists()
{
    listBase = glGenLists(worldTriangleCount);
    listBlockReserved = listBase != 0;
    ListPadding::decide();
}

void Triangle::setNextIndex(int index)
{
    nextIndex = index;
}

bool Triangle::listsReserved()
{
    return listBlockReserved;
}

GLuint Triangle::getListBase()
{
    return listBase;
}

void Triangle::placeCorners()
{
    const double radiusA = radiusOf(levelA);
    const double radiusB = radiusOf(levelB);
    const double radiusC = radiusOf(levelC);
    cornerPosition(radiusA, thetaA, phiA, posA);
    cornerPosition(radiusB, thetaB, phiB, posB);
    cornerPosition(radiusC, thetaC, phiC, posC);
}

void Triangle::setLevels(int a, int b, int c)
{
    levelA = a;
    levelB = b;
    levelC = c;
    placeCorners();
}

void Triangle::compileList()
{
    ListPadding::beforeRecompile(listId);
    recordList();
}

void Triangle::recordList()
{
    glNewList(listId, GL_COMPILE);
    drawSurface();
    drawOutline();
    ListPadding::pad();
    glEndList();
}

void Triangle::drawSurface()
{
    glBegin(GL_TRIANGLES);
    emitColoredCorner(levelA, posA);
    emitColoredCorner(levelB, posB);
    emitColoredCorner(levelC, posC);
    glEnd();
}

void Triangle::liftedCorners(double lift, float a[3], float b[3], float c[3]) const
{
    cornerPosition(radiusOf(levelA) + lift, thetaA, phiA, a);
    cornerPosition(radiusOf(levelB) + lift, thetaB, phiB, b);
    cornerPosition(radiusOf(levelC) + lift, thetaC, phiC, c);
}

void Triangle::drawOutline()
{
    float liftedA[3], liftedB[3], liftedC[3];
    liftedCorners(surfaceLift, liftedA, liftedB, liftedC);
    glLineWidth(1.0f);
    if (outlineFlag != 0) {
        emitLine(liftedA, liftedB);
        return;
    }
    emitLine(liftedC, liftedA);
    emitLine(liftedB, liftedC);
}

void Triangle::drawForPicking()
{
    // Not glBegin/glEnd: in GL_SELECT mode Mesa 22.3 keeps about 35 bytes
    // per glBegin/glEnd pair for good, so every click on a subdivision-4
    // globe cost 180 KB. A client vertex array draws the same face and keeps
    // nothing.
    const GLfloat corners[9] = {posA[0], posA[1], posA[2], posB[0], posB[1],
                                posB[2], posC[0], posC[1], posC[2]};
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, corners);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glPopClientAttrib();
}
