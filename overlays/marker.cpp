#include "overlays/marker.h"

#include "terrain/triangle.h"
#include "world/worldtables.h"

void drawVertexMarker(int vertex, Triangle *triangles)
{
    const int *fan = vertexFans.constData() + 6 * vertex;
    triangles[fan[0]].drawMarkerPoint(vertex);
    for (int k = 0; k < fanTriangleCount(fan); ++k)
        triangles[fan[k]].drawMarkerEdge(vertex);
}

void Triangle::drawMarkerPoint(int vertex)
{
    const float *const positions[3] = {posA, posB, posC};
    const float *position = positions[cornerOf(vertex)];
    glPointSize(5.0f);
    glColor4f(1.0f, 0.0f, 1.0f, 1.0f);
    glBegin(GL_POINTS);
    glVertex3fv(position);
    glEnd();
}

void Triangle::drawMarkerEdge(int vertex)
{
    // Half as much again as the outline's lift, so the ring covers the grey
    // outline where they run along the same edge.
    const double lift = 1.5 * double(surfaceLift);
    float liftedA[3], liftedB[3], liftedC[3];
    liftedCorners(lift, liftedA, liftedB, liftedC);
    const float *const lifted[3] = {liftedA, liftedB, liftedC};
    // The edge opposite the vertex, its ends in the order A, B, C.
    const int k = cornerOf(vertex);
    const float *from = lifted[k == 0 ? 1 : 0];
    const float *to = lifted[k == 2 ? 1 : 2];
    glLineWidth(2.0f);
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    glBegin(GL_LINES);
    glVertex3fv(from);
    glVertex3fv(to);
    glEnd();
}
