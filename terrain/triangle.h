// One facet of the globe, bound to one row of triangleCorners.
//
// Triangles are only ever built as a whole array, first to last: each default
// construction takes row nextIndex, and the first one (row 0) reserves one
// block of display-list names for the whole array, so element i draws with
// list listBase + i. Construction and every drawing operation issue GL
// commands and need the window's GL context current.
//
// Units: angles in radians (polar angle from +z, azimuth from +y towards +x),
// positions in model units with the globe's centre at the origin.
#ifndef TRIANGLE_H
#define TRIANGLE_H

#include "terrain/levelrules.h"
#include "world/meshrules.h"
#include "world/worldtables.h"

#include <GL/gl.h>

// Outline and marker lines are lifted by this many model units (1.5 times for
// the marker) so that they lie just outside the faces they border.
extern const float surfaceLift;

class Triangle
{
public:
    // Builds the triangle from row nextIndex, compiles its list, advances
    // nextIndex. Requires a checked world: the row and its corners exist.
    Triangle();

    static void setNextIndex(int index);
    // False when the last array's block of list names could not be reserved;
    // its triangles then have no lists and must not be drawn.
    static bool listsReserved();
    static GLuint getListBase();

    // The level rules (levelrules.h), as members of the class that draws them:
    // the radius at the loaded world's subdivision, as it stands at the
    // moment of the call.
    static void levelRadius(int level, float &radius)
    {
        radius = radiusOfLevel(level, subdivisionLevel);
    }
    static void levelColor(int level, float &red, float &green, float &blue)
    {
        ::levelColor(level, red, green, blue);
    }

    // Records face and outline into listId (replacing what it held). The
    // list draws the face, then the grey outline at width 1.0, and leaves
    // the current colour grey and the line width 1.0.
    void compileList();
    // The bare face, with no colour, for selection-mode picking.
    void drawForPicking();
    // Sets the three corner levels and moves the corners to match; the caller
    // recompiles the list.
    void setLevels(int a, int b, int c);

    // The vertex marker's pieces, drawn in immediate mode each frame: a dot on
    // this triangle's corner that is the vertex, and the edge opposite it.
    void drawMarkerPoint(int vertex);
    void drawMarkerEdge(int vertex);

    // 0, 1 or 2 when vertex is corner A, B or C. A checked world's fans name
    // only triangles that have their vertex; any other is taken as C, as
    // the editor always has, so that no caller reads outside the corners.
    int cornerOf(int vertex) const
    {
        const int vertices[3] = {vertexA, vertexB, vertexC};
        const int k = cornerIndex(vertices, vertex);
        return k < 0 ? 2 : k;
    }

    int getVertexA() const { return vertexA; }
    int getVertexB() const { return vertexB; }
    int getVertexC() const { return vertexC; }
    int getLevelA() const { return levelA; }
    int getLevelB() const { return levelB; }
    int getLevelC() const { return levelC; }
    float getAx() const { return posA[0]; }
    float getAy() const { return posA[1]; }
    float getAz() const { return posA[2]; }
    float getBx() const { return posB[0]; }
    float getBy() const { return posB[1]; }
    float getBz() const { return posB[2]; }
    float getCx() const { return posC[0]; }
    float getCy() const { return posC[1]; }
    float getCz() const { return posC[2]; }
    float getThetaA() const { return thetaA; }
    float getThetaB() const { return thetaB; }
    float getThetaC() const { return thetaC; }
    float getPhiA() const { return phiA; }
    float getPhiB() const { return phiB; }
    float getPhiC() const { return phiC; }
    int getOutlineFlag() const { return outlineFlag; }
    GLuint getListId() const { return listId; }

private:
    static void reserveLists();
    void recordList();
    void drawSurface();
    void drawOutline();
    void placeCorners();
    void liftedCorners(double lift, float a[3], float b[3], float c[3]) const;

    int vertexA, vertexB, vertexC;
    int levelA, levelB, levelC;
    float thetaA, phiA, thetaB, phiB, thetaC, phiC;
    float posA[3], posB[3], posC[3];
    int outlineFlag;
    GLuint listId;

    static int nextIndex;
    static GLuint listBase;
};

#endif
