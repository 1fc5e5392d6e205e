// Which triangle of the drawn globe lies under each sample of a global
// longitude/latitude grid, and which vertex a sample belongs to. The maps
// and the raster import share it, so that a heightmap imported back gives
// every vertex the level it was drawn with.
#ifndef MESHRASTER_H
#define MESHRASTER_H

#include "meshes/drawnmesh.h"
#include "terrain/vec3.h"

#include <QPoint>

#include <vector>

// A grid over the whole sphere in the map convention (worldmap.h): sample
// (x, y) lies at longitude 360 (x + o) / W - 180 degrees and latitude
// 90 - 180 (y + o) / H degrees. Pixels that are areas (o = 0.5) give W x H
// samples; a grid registered on whole steps (o = 0) has H + 1 rows from
// pole to pole and W columns here, its repeated last column (180 degrees,
// the same meridian as column 0) left out.
struct SampleGrid
{
    int width = 0, height = 0; // W and H
    bool gridRegistered = false;

    double offset() const { return gridRegistered ? 0 : 0.5; }
    int rows() const { return gridRegistered ? height + 1 : height; }
    double polarAngle(int y) const; // radians from the north pole
    double azimuth(int x) const;    // the editor's azimuth, radians
    double areaWeight(int y) const; // a sample's share of the sphere's area, up to a constant
    QPoint sampleOf(double theta, double phi) const; // the sample whose area holds the direction
};

// Finds the triangle under each sample through bins of cells, each listing
// the triangles whose bounding cap reaches it.
class MeshRaster
{
public:
    MeshRaster(const DrawnMesh &mesh, const SampleGrid &grid);

    const SampleGrid &grid() const { return samples; }
    int vertexCount() const { return int(units.size()); }
    Vec3 direction(int x, int y) const;
    // The triangle under direction d of sample (x, y) and its corners'
    // weights at the point where d meets the flat triangle; -1 when none.
    int locate(int x, int y, const Vec3 &d, double weights[3]) const;
    // The same for any direction d (not necessarily of unit length), such as
    // a cube map's pixel's.
    int locate(const Vec3 &d, double weights[3]) const;
    // The rows are found in bands of bandHeight() rows, the last one
    // possibly shorter.
    int bandHeight() const { return cellSize; }
    // locate for every sample of the band's rows y0 to y1 - 1 at once, into
    // triangle[(y - y0) W + x] and weights[3 ((y - y0) W + x) + k]: the
    // same triangles and weights, found by visiting each triangle's own
    // samples rather than searching each sample's bin.
    void locateBand(int band, int *triangle, double *weights) const;
    // The corner of triangle t nearest direction d: the largest cosine.
    int nearestCorner(int t, const Vec3 &d) const;
    const int *corners(int t) const { return triangles[t].corner; }
    // The vertex each sample of row y belongs to, -1 under a hole: the corner
    // nearest the sample's direction among those of the triangle under it,
    // except that a vertex's own sample (sampleOf its direction) is its own,
    // the higher-numbered vertex's when two share one.
    void ownersOfRow(int y, std::vector<int> &owners) const;
    // The vertices whose own sample lies in row y, in increasing order.
    const std::vector<int> &verticesOfRow(int y) const { return rowVertices[y]; }
    const QPoint &ownSample(int v) const { return own[v]; }

private:
    struct Triangle
    {
        int corner[3];
        // edge[k] = P(k+1) x P(k+2): a neighbour computes the shared edge's
        // normal as the exact negation of ours, so a direction on the edge is
        // inside both or one and no sample falls through a crack.
        Vec3 edge[3];
        double orientation; // +1 counter-clockwise from outside, -1 clockwise, 0 flat
    };
    // Inclusive rows, and columns as one or two runs after wrapping at the seam.
    struct Box
    {
        int y0, y1;
        int runs = 1;
        int x0[2], x1[2];
    };

    void prepareTriangles(const DrawnMesh &mesh);
    Box boxOf(const Triangle &t) const;
    void setColumns(Box &box, int x0, int x1) const;
    void fillBins();
    int rowOf(double theta) const;
    QPoint binnedSampleOf(const Vec3 &d) const;

    SampleGrid samples;
    int cellSize, cellsX, cellsY;
    std::vector<Vec3> units;
    std::vector<Triangle> triangles;
    std::vector<double> sinTheta, cosTheta, sinPhi, cosPhi;
    std::vector<int> cellStart, cellTriangles;
    std::vector<Box> boxes;
    std::vector<int> bandStart, bandTriangles; // the triangles whose box reaches each band
    std::vector<QPoint> own;
    std::vector<std::vector<int>> rowVertices;
};

#endif
