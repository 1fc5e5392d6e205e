#include "converters/worldmap.h"

#include "terrain/levelrules.h"
#include "terrain/vec3.h"

#include <QBuffer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const double pi = 3.14159265358979323846;

// floor(value) clamped to 0..count - 1; NaN (from hand-made angles) gives 0.
int clampedIndex(double value, int count)
{
    if (!(value > 0))
        return 0;
    return value >= count ? count - 1 : int(value);
}

double angleBetween(const Vec3 &a, const Vec3 &b)
{
    return std::acos(std::clamp(dot(a, b), -1.0, 1.0));
}

// Weight of corner k at direction d: d . edge[k], edge[k] = P(k+1) x P(k+2),
// over the sum of the three. A neighbour computes the shared edge's normal
// as the exact negation of ours, so a direction on the edge is inside both or
// one: no pixel falls through a crack between triangles.
struct MapTriangle
{
    int corner[3];
    Vec3 edge[3];
    double orientation; // +1 counter-clockwise from outside, -1 clockwise, 0 flat
};

// Inclusive pixel rows, and columns as one or two runs after wrapping at
// the seam (azimuth 0 = 2 pi).
struct PixelBox
{
    int y0, y1;
    int runs = 1;
    int x0[2], x1[2];
};

// Finds the triangle under each pixel through bins of cellSize x cellSize
// pixels, each listing the triangles whose bounding cap reaches it.
class MapRaster
{
public:
    static const int cellSize = 8;

    MapRaster(const DrawnMesh &mesh, int width);

    int width() const { return w; }
    int height() const { return h; }
    Vec3 pixelDirection(int x, int y) const;
    // The triangle under the direction of pixel (x, y) and its corners'
    // weights; -1 when there is none.
    int locate(int x, int y, const Vec3 &d, double weights[3]) const;
    const MapTriangle &triangle(int t) const { return triangles[t]; }
    const Vec3 &unit(int v) const { return units[v]; }

private:
    void prepareTriangles(const DrawnMesh &mesh);
    PixelBox boxOf(const MapTriangle &t) const;
    void setColumns(PixelBox &box, int x0, int x1) const;
    void fillBins();
    int rowOf(double theta) const;

    int w, h, cellsX, cellsY;
    std::vector<Vec3> units;
    std::vector<MapTriangle> triangles;
    std::vector<double> sinTheta, cosTheta, sinPhi, cosPhi;
    std::vector<int> cellStart, cellTriangles;
};

MapRaster::MapRaster(const DrawnMesh &mesh, int width)
    : w(width), h(width / 2), cellsX((w + cellSize - 1) / cellSize),
      cellsY((h + cellSize - 1) / cellSize)
{
    prepareTriangles(mesh);
    for (int y = 0; y < h; ++y) {
        sinTheta.push_back(std::sin(pi * (y + 0.5) / h));
        cosTheta.push_back(std::cos(pi * (y + 0.5) / h));
    }
    for (int x = 0; x < w; ++x) {
        sinPhi.push_back(std::sin(2 * pi * (x + 0.5) / w));
        cosPhi.push_back(std::cos(2 * pi * (x + 0.5) / w));
    }
    fillBins();
}

void MapRaster::prepareTriangles(const DrawnMesh &mesh)
{
    std::vector<Vec3> points(mesh.vertexCount());
    units.resize(points.size());
    for (size_t v = 0; v < points.size(); ++v) {
        const float *p = mesh.positions.constData() + 3 * v;
        points[v] = {p[0], p[1], p[2]};
        const double length = std::sqrt(dot(points[v], points[v]));
        units[v] = {p[0] / length, p[1] / length, p[2] / length};
    }
    triangles.resize(mesh.triangleCount());
    for (size_t t = 0; t < triangles.size(); ++t) {
        MapTriangle &m = triangles[t];
        for (int k = 0; k < 3; ++k)
            m.corner[k] = mesh.corners[int(3 * t) + k];
        for (int k = 0; k < 3; ++k)
            m.edge[k] = cross(points[m.corner[(k + 1) % 3]], points[m.corner[(k + 2) % 3]]);
        const double volume = dot(points[m.corner[0]], m.edge[0]);
        m.orientation = volume > 0 ? 1 : volume < 0 ? -1 : 0;
    }
}

Vec3 MapRaster::pixelDirection(int x, int y) const
{
    return {sinTheta[y] * sinPhi[x], sinTheta[y] * cosPhi[x], cosTheta[y]};
}

int MapRaster::rowOf(double theta) const
{
    return clampedIndex(theta / pi * h, h);
}

// The triangle lies inside the cap around its centre direction that just
// holds its corners (a cap under a hemisphere is convex on the sphere), and
// the cap's extent in polar angle and azimuth is known in closed form.
PixelBox MapRaster::boxOf(const MapTriangle &t) const
{
    const Vec3 &a = units[t.corner[0]], &b = units[t.corner[1]], &c = units[t.corner[2]];
    Vec3 centre = a + b + c;
    const double length = std::sqrt(dot(centre, centre));
    PixelBox box{0, h - 1, 1, {0, 0}, {w - 1, 0}};
    if (!(length >= 1e-9))
        return box;
    centre = {centre.x / length, centre.y / length, centre.z / length};
    // The margin covers rounding in the angles, far below a pixel.
    const double radius =
        std::max({angleBetween(centre, a), angleBetween(centre, b), angleBetween(centre, c)}) +
        1e-6;
    const double theta = angleBetween(centre, {0, 0, 1});
    if (!(radius < pi / 2))
        return box;
    box.y0 = rowOf(theta - radius);
    box.y1 = rowOf(theta + radius);
    if (theta - radius <= 0 || theta + radius >= pi)
        return box; // the cap holds a pole: every azimuth
    const double halfWidth = std::asin(std::min(1.0, std::sin(radius) / std::sin(theta)));
    const double phi = std::atan2(centre.x, centre.y);
    setColumns(box, int(std::floor((phi - halfWidth) / (2 * pi) * w)),
               int(std::floor((phi + halfWidth) / (2 * pi) * w)));
    return box;
}

// Columns x0 to x1, which may lie beyond 0 or w - 1, wrapped into the map.
void MapRaster::setColumns(PixelBox &box, int x0, int x1) const
{
    if (x1 - x0 + 1 >= w)
        return; // every column, as the box already says
    const int from = (x0 % w + w) % w, to = (x1 % w + w) % w;
    box.x0[0] = from;
    box.x1[0] = from <= to ? to : w - 1;
    if (from > to) {
        box.runs = 2;
        box.x0[1] = 0;
        box.x1[1] = to;
    }
}

// Two passes, counting then filling, keep every cell's list in one array.
void MapRaster::fillBins()
{
    std::vector<PixelBox> boxes;
    boxes.reserve(triangles.size());
    for (const MapTriangle &t : triangles)
        boxes.push_back(boxOf(t));
    cellStart.assign(size_t(cellsX) * cellsY + 1, 0);
    auto forEachCell = [this](const PixelBox &box, auto visit) {
        for (int cy = box.y0 / cellSize; cy <= box.y1 / cellSize; ++cy) {
            for (int run = 0; run < box.runs; ++run) {
                for (int cx = box.x0[run] / cellSize; cx <= box.x1[run] / cellSize; ++cx)
                    visit(cy * cellsX + cx);
            }
        }
    };
    for (size_t t = 0; t < boxes.size(); ++t) {
        if (triangles[t].orientation != 0)
            forEachCell(boxes[t], [this](int cell) { ++cellStart[cell + 1]; });
    }
    for (size_t cell = 1; cell < cellStart.size(); ++cell)
        cellStart[cell] += cellStart[cell - 1];
    std::vector<int> next(cellStart.begin(), cellStart.end() - 1);
    cellTriangles.resize(cellStart.back());
    for (size_t t = 0; t < boxes.size(); ++t) {
        if (triangles[t].orientation != 0)
            forEachCell(boxes[t], [&](int cell) { cellTriangles[next[cell]++] = int(t); });
    }
}

int MapRaster::locate(int x, int y, const Vec3 &d, double weights[3]) const
{
    const int cell = (y / cellSize) * cellsX + x / cellSize;
    for (int i = cellStart[cell]; i < cellStart[cell + 1]; ++i) {
        const MapTriangle &t = triangles[cellTriangles[i]];
        double e[3];
        for (int k = 0; k < 3; ++k)
            e[k] = dot(d, t.edge[k]) * t.orientation;
        const double sum = e[0] + e[1] + e[2];
        if (e[0] < 0 || e[1] < 0 || e[2] < 0 || !(sum > 0))
            continue;
        for (int k = 0; k < 3; ++k)
            weights[k] = e[k] / sum;
        return cellTriangles[i];
    }
    return -1;
}

// Calls paint(x, y, triangle, direction, weights) for every pixel a triangle covers.
template <typename Paint> void forEachCoveredPixel(const MapRaster &raster, Paint paint)
{
    double weights[3];
    for (int y = 0; y < raster.height(); ++y) {
        for (int x = 0; x < raster.width(); ++x) {
            const Vec3 d = raster.pixelDirection(x, y);
            const int t = raster.locate(x, y, d, weights);
            if (t >= 0)
                paint(x, y, raster.triangle(t), d, weights);
        }
    }
}

quint16 &greyAt(QImage &image, int x, int y)
{
    return reinterpret_cast<quint16 *>(image.scanLine(y))[x];
}

// Gives every vertex's own pixel its level, and counts the vertices whose
// pixel a later vertex of another level took over.
int paintVertexPixels(const DrawnMesh &mesh, QImage &image)
{
    std::vector<QPoint> own;
    own.reserve(size_t(mesh.vertexCount()));
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        own.push_back(pixelOf(mesh.angles[2 * v], mesh.angles[2 * v + 1], image.width()));
        greyAt(image, own.back().x(), own.back().y()) = heightValue(mesh.levels[v]);
    }
    int lost = 0;
    for (int v = 0; v < mesh.vertexCount(); ++v)
        lost += greyAt(image, own[v].x(), own[v].y()) != heightValue(mesh.levels[v]);
    return lost;
}

} // namespace

QPoint pixelOf(double theta, double phi, int width)
{
    const int height = width / 2;
    double turn = std::fmod(phi / (2 * pi), 1.0);
    if (turn < 0)
        turn += 1;
    return QPoint(clampedIndex(turn * width, width + 1) % width,
                  clampedIndex(theta / pi * height, height));
}

QImage renderColourMap(const DrawnMesh &mesh, int width)
{
    const MapRaster raster(mesh, width);
    QImage image(raster.width(), raster.height(), QImage::Format_RGB888);
    image.fill(Qt::black);
    std::vector<float> colours(3 * size_t(mesh.vertexCount()));
    for (int v = 0; v < mesh.vertexCount(); ++v)
        levelColor(mesh.levels[v], colours[3 * v], colours[3 * v + 1], colours[3 * v + 2]);
    forEachCoveredPixel(
        raster, [&](int x, int y, const MapTriangle &t, const Vec3 &, const double weights[3]) {
            uchar *pixel = image.scanLine(y) + 3 * x;
            for (int channel = 0; channel < 3; ++channel) {
                double c = 0;
                for (int k = 0; k < 3; ++k)
                    c += weights[k] * colours[3 * size_t(t.corner[k]) + channel];
                pixel[channel] = channel8(float(c));
            }
        });
    return image;
}

QImage renderHeightmap(const DrawnMesh &mesh, int width, int *unrestorable)
{
    const MapRaster raster(mesh, width);
    QImage image(raster.width(), raster.height(), QImage::Format_Grayscale16);
    image.fill(0);
    forEachCoveredPixel(
        raster, [&](int x, int y, const MapTriangle &t, const Vec3 &d, const double *) {
            int nearest = 0;
            for (int k = 1; k < 3; ++k) {
                if (dot(d, raster.unit(t.corner[k])) > dot(d, raster.unit(t.corner[nearest])))
                    nearest = k;
            }
            greyAt(image, x, y) = heightValue(mesh.levels[t.corner[nearest]]);
        });
    const int lost = paintVertexPixels(mesh, image);
    if (unrestorable)
        *unrestorable = lost;
    return image;
}

quint16 heightValue(int level)
{
    return level >= 1 && level <= 9 ? quint16(std::lround(level * 65535.0 / 9)) : 0;
}

int levelOfGrey(int value, int maxValue)
{
    return int(std::lround(double(value) * 9 / maxValue));
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
