#include "terrain/triangle.h"

#include "world/worldtables.h"

#include <QtGlobal>

#include <cmath>
#include <cstring>

const float surfaceLift = 0.001f;

int Triangle::nextIndex = 0;
GLuint Triangle::listBase = 0;

namespace {

bool listBlockReserved = true;

const float baseRadius = 0.85f;

// Height above the base sphere, in base radii, of levels 1..9 at subdivision 4.
const double levelHeights[10] = {0.0, 0.005, 0.01, 0.02, 0.035, 0.05, 0.06, 0.065, 0.07, 0.075};

const float levelColors[10][3] = {
    {0.5098f, 0.7608f, 0.9647f}, // water
    {0.3098f, 0.9686f, 0.5294f}, {0.6f, 1.0f, 0.6628f},       {0.9216f, 0.8235f, 0.5529f},
    {0.8863f, 0.6745f, 0.3922f}, {0.8431f, 0.5647f, 0.2549f}, {0.8392f, 0.498f, 0.2902f},
    {0.8235f, 0.4431f, 0.2118f}, {0.7059f, 0.3804f, 0.1804f}, {0.5843f, 0.2863f, 0.1529f},
};

// The radii change only with subdivisionLevel, yet every corner placed and
// every outline lifted asked pow() again: they are kept for the last level seen.
const float *levelRadii()
{
    static bool known = false;
    static int knownFor = 0;
    static float radii[10];
    if (!known || knownFor != subdivisionLevel) {
        // In double, so that no header value can overflow the exponent.
        const double scale = std::pow(4.0, double(subdivisionLevel) - 4.0);
        for (int level = 1; level <= 9; ++level)
            radii[level] = float((levelHeights[level] / scale + 1.0) * double(baseRadius));
        knownFor = subdivisionLevel;
        known = true;
    }
    return radii;
}

struct CornerTrig
{
    bool filled = false;
    quint64 angles = 0; // the bits of theta, then of phi
    double sinTheta = 0.0, cosTheta = 0.0, sinPhi = 0.0, cosPhi = 0.0;
};

// Each triangle places its corners and then lifts the same corners for its
// outline, and neighbouring triangles share corners: most corners repeat
// angles seen a moment ago. Keyed by the bits, so the values are the ones a
// fresh computation gives.
const CornerTrig &trigOf(float theta, float phi)
{
    static CornerTrig recent[64];
    quint32 thetaBits, phiBits;
    std::memcpy(&thetaBits, &theta, sizeof thetaBits);
    std::memcpy(&phiBits, &phi, sizeof phiBits);
    const quint64 angles = quint64(thetaBits) << 32 | phiBits;
    CornerTrig &slot = recent[(angles * 0x9E3779B97F4A7C15ull) >> 58];
    if (!slot.filled || slot.angles != angles) {
        slot.filled = true;
        slot.angles = angles;
        slot.sinTheta = std::sin(double(theta));
        slot.cosTheta = std::cos(double(theta));
        slot.sinPhi = std::sin(double(phi));
        slot.cosPhi = std::cos(double(phi));
    }
    return slot;
}

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

void emitLine(const float from[3], const float to[3])
{
    glBegin(GL_LINES);
    glVertex3fv(from);
    glVertex3fv(to);
    glEnd();
}

} // namespace

void cornerPosition(double radius, float theta, float phi, float position[3])
{
    const CornerTrig &trig = trigOf(theta, phi);
    const double s = radius * trig.sinTheta;
    position[0] = float(s * trig.sinPhi);
    position[1] = float(s * trig.cosPhi);
    position[2] = float(radius * trig.cosTheta);
}

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
    if (i == 0) {
        listBase = glGenLists(worldTriangleCount);
        listBlockReserved = listBase != 0;
    }
    listId = listBase + GLuint(i);
    if (listBlockReserved)
        compileList();
    nextIndex = i + 1;
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

void Triangle::levelRadius(int level, float &radius)
{
    if (level < 1 || level > 9) {
        radius = baseRadius;
        return;
    }
    radius = levelRadii()[level];
}

void Triangle::levelColor(int level, float &red, float &green, float &blue)
{
    const bool known = level >= 0 && level <= 9;
    red = known ? levelColors[level][0] : 0.0f;
    green = known ? levelColors[level][1] : 0.0f;
    blue = known ? levelColors[level][2] : 0.0f;
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
    glNewList(listId, GL_COMPILE);
    drawSurface();
    drawOutline();
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
    glColor4f(0.5f, 0.5f, 0.5f, 1.0f);
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
