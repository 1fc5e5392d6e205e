#include "maps/meshraster.h"

#include "sphere/sphere.h"

#include <algorithm>
#include <cmath>

namespace {

// floor(value) clamped to 0..count - 1; NaN (from hand-made angles) gives 0.
int clampedIndex(double value, int count)
{
    if (!(value > 0))
        return 0;
    return value >= count ? count - 1 : int(value);
}

// Where longitude lambda = pi - phi falls across the grid, in turns from
// 180 degrees west: 0 to 1.
double turnOf(double phi)
{
    const double turn = std::fmod(1.0 - phi / (2 * pi), 1.0);
    return turn < 0 ? turn + 1 : turn;
}

} // namespace

double SampleGrid::polarAngle(int y) const
{
    return pi * (y + offset()) / height;
}

double SampleGrid::azimuth(int x) const
{
    return 2 * pi - 2 * pi * (x + offset()) / width;
}

double SampleGrid::areaWeight(int y) const
{
    const double top = std::clamp(pi * (y + offset() - 0.5) / height, 0.0, pi);
    const double bottom = std::clamp(pi * (y + offset() + 0.5) / height, 0.0, pi);
    return std::cos(top) - std::cos(bottom);
}

QPoint SampleGrid::sampleOf(double theta, double phi) const
{
    const double shift = 0.5 - offset();
    return QPoint(clampedIndex(turnOf(phi) * width + shift, width + 1) % width,
                  clampedIndex(theta / pi * height + shift, rows()));
}

MeshRaster::MeshRaster(const DrawnMesh &mesh, const SampleGrid &grid) : samples(grid)
{
    prepareTriangles(mesh);
    // Cells about a triangle wide keep both the lists and the search short.
    const double across = 2 * std::sqrt(double(std::max<size_t>(triangles.size(), 1)));
    cellSize = std::max(8, int(std::ceil(grid.width / across)));
    cellsX = (grid.width + cellSize - 1) / cellSize;
    cellsY = (grid.rows() + cellSize - 1) / cellSize;
    for (int y = 0; y < grid.rows(); ++y) {
        sinTheta.push_back(std::sin(grid.polarAngle(y)));
        cosTheta.push_back(std::cos(grid.polarAngle(y)));
    }
    for (int x = 0; x < grid.width; ++x) {
        sinPhi.push_back(std::sin(grid.azimuth(x)));
        cosPhi.push_back(std::cos(grid.azimuth(x)));
    }
    fillBins();
    rowVertices.resize(size_t(grid.rows()));
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        own.push_back(grid.sampleOf(mesh.angles[2 * v], mesh.angles[2 * v + 1]));
        rowVertices[size_t(own.back().y())].push_back(v);
    }
}

void MeshRaster::prepareTriangles(const DrawnMesh &mesh)
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
        Triangle &m = triangles[t];
        for (int k = 0; k < 3; ++k)
            m.corner[k] = mesh.corners[int(3 * t) + k];
        for (int k = 0; k < 3; ++k)
            m.edge[k] = cross(points[m.corner[(k + 1) % 3]], points[m.corner[(k + 2) % 3]]);
        const double volume = dot(points[m.corner[0]], m.edge[0]);
        m.orientation = volume > 0 ? 1 : volume < 0 ? -1 : 0;
    }
}

Vec3 MeshRaster::direction(int x, int y) const
{
    return {sinTheta[y] * sinPhi[x], sinTheta[y] * cosPhi[x], cosTheta[y]};
}

int MeshRaster::rowOf(double theta) const
{
    return clampedIndex(theta / pi * samples.height - samples.offset(), samples.rows());
}

// The triangle lies inside the cap around its centre direction that just
// holds its corners (a cap under a hemisphere is convex on the sphere), and
// the cap's extent in polar angle and longitude is known in closed form.
MeshRaster::Box MeshRaster::boxOf(const Triangle &t) const
{
    const Vec3 &a = units[t.corner[0]], &b = units[t.corner[1]], &c = units[t.corner[2]];
    Vec3 centre = a + b + c;
    const double length = std::sqrt(dot(centre, centre));
    Box box{0, samples.rows() - 1, 1, {0, 0}, {samples.width - 1, 0}};
    if (!(length >= 1e-9))
        return box;
    centre = {centre.x / length, centre.y / length, centre.z / length};
    // The margin covers rounding in the angles, far below a sample.
    const double radius =
        std::max({angleBetween(centre, a), angleBetween(centre, b), angleBetween(centre, c)}) +
        1e-6;
    const double theta = angleBetween(centre, {0, 0, 1});
    if (!(radius < pi / 2))
        return box;
    box.y0 = rowOf(theta - radius);
    box.y1 = rowOf(theta + radius);
    if (theta - radius <= 0 || theta + radius >= pi)
        return box; // the cap holds a pole: every longitude
    const double halfWidth = std::asin(std::min(1.0, std::sin(radius) / std::sin(theta)));
    const double turn = turnOf(azimuthOf(centre));
    const double halfTurn = halfWidth / (2 * pi);
    const int w = samples.width;
    setColumns(box, int(std::floor((turn - halfTurn) * w - samples.offset())),
               int(std::floor((turn + halfTurn) * w - samples.offset())));
    return box;
}

// Columns x0 to x1, which may lie beyond 0 or w - 1, wrapped into the grid.
void MeshRaster::setColumns(Box &box, int x0, int x1) const
{
    const int w = samples.width;
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
void MeshRaster::fillBins()
{
    boxes.reserve(triangles.size());
    for (const Triangle &t : triangles)
        boxes.push_back(boxOf(t));
    cellStart.assign(size_t(cellsX) * cellsY + 1, 0);
    auto forEachCell = [this](const Box &box, auto visit) {
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
    bandStart.assign(size_t(cellsY) + 1, 0);
    for (size_t t = 0; t < boxes.size(); ++t) {
        for (int band = boxes[t].y0 / cellSize;
             triangles[t].orientation != 0 && band <= boxes[t].y1 / cellSize; ++band)
            ++bandStart[band + 1];
    }
    for (size_t band = 1; band < bandStart.size(); ++band)
        bandStart[band] += bandStart[band - 1];
    next.assign(bandStart.begin(), bandStart.end() - 1);
    bandTriangles.resize(bandStart.back());
    for (size_t t = 0; t < boxes.size(); ++t) {
        for (int band = boxes[t].y0 / cellSize;
             triangles[t].orientation != 0 && band <= boxes[t].y1 / cellSize; ++band)
            bandTriangles[next[band]++] = int(t);
    }
}

// A sample lies in the lowest-numbered triangle that holds it among those
// its bin lists, which are the triangles whose box holds the sample, in
// increasing order: so visiting the triangles in that order, each over its
// box, and keeping the first that holds a sample finds what locate finds.
void MeshRaster::locateBand(int band, int *triangle, double *weights) const
{
    const int w = samples.width;
    const int y0 = band * cellSize, y1 = std::min(y0 + cellSize, samples.rows());
    std::fill(triangle, triangle + size_t(y1 - y0) * w, -1);
    for (int i = bandStart[band]; i < bandStart[band + 1]; ++i) {
        const Box &box = boxes[bandTriangles[i]];
        const Triangle &m = triangles[bandTriangles[i]];
        for (int y = std::max(box.y0, y0); y <= std::min(box.y1, y1 - 1); ++y) {
            for (int run = 0; run < box.runs; ++run) {
                for (int x = box.x0[run]; x <= box.x1[run]; ++x) {
                    const size_t at = size_t(y - y0) * w + x;
                    if (triangle[at] >= 0)
                        continue;
                    // direction(x, y), spelt out so that it is inlined
                    const Vec3 d{sinTheta[y] * sinPhi[x], sinTheta[y] * cosPhi[x], cosTheta[y]};
                    // Most samples of a box lie outside the triangle: each
                    // edge is tried before the next is computed.
                    double e[3];
                    e[0] = dot(d, m.edge[0]) * m.orientation;
                    if (e[0] < 0)
                        continue;
                    e[1] = dot(d, m.edge[1]) * m.orientation;
                    if (e[1] < 0)
                        continue;
                    e[2] = dot(d, m.edge[2]) * m.orientation;
                    const double sum = e[0] + e[1] + e[2];
                    if (e[2] < 0 || !(sum > 0))
                        continue;
                    triangle[at] = bandTriangles[i];
                    for (int k = 0; k < 3; ++k)
                        weights[3 * at + k] = e[k] / sum;
                }
            }
        }
    }
}

int MeshRaster::locate(int x, int y, const Vec3 &d, double weights[3]) const
{
    const int cell = (y / cellSize) * cellsX + x / cellSize;
    for (int i = cellStart[cell]; i < cellStart[cell + 1]; ++i) {
        const Triangle &t = triangles[cellTriangles[i]];
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

// The sample whose bin lists every triangle whose cap holds d: rows and
// columns counted as boxOf counts them, from the samples' centres, the
// columns wrapped at the seam.
QPoint MeshRaster::binnedSampleOf(const Vec3 &d) const
{
    const double theta = polarAngleOf(d);
    const int w = samples.width;
    const int x = int(std::floor(turnOf(azimuthOf(d)) * w - samples.offset()));
    return QPoint((x % w + w) % w, rowOf(theta));
}

int MeshRaster::locate(const Vec3 &d, double weights[3]) const
{
    const QPoint sample = binnedSampleOf(d);
    return locate(sample.x(), sample.y(), d, weights);
}

int MeshRaster::nearestCorner(int t, const Vec3 &d) const
{
    const int *corner = triangles[t].corner;
    int nearest = corner[0];
    for (int k = 1; k < 3; ++k) {
        if (dot(d, units[corner[k]]) > dot(d, units[nearest]))
            nearest = corner[k];
    }
    return nearest;
}

void MeshRaster::ownersOfRow(int y, std::vector<int> &owners) const
{
    owners.assign(size_t(samples.width), -1);
    double weights[3];
    // Neighbouring samples mostly share a triangle: the last one found is
    // tried first. Only a direction strictly inside it is taken from it, as
    // no other triangle holds such a direction, so the owner is the one
    // locate would find.
    int last = -1;
    for (int x = 0; x < samples.width; ++x) {
        const Vec3 d = direction(x, y);
        int t = -1;
        if (last >= 0) {
            const Triangle &m = triangles[last];
            const double e0 = dot(d, m.edge[0]) * m.orientation,
                         e1 = dot(d, m.edge[1]) * m.orientation,
                         e2 = dot(d, m.edge[2]) * m.orientation;
            if (e0 > 0 && e1 > 0 && e2 > 0)
                t = last;
        }
        if (t < 0)
            t = locate(x, y, d, weights);
        if (t < 0)
            continue;
        last = t;
        owners[x] = nearestCorner(t, d);
    }
    for (int v : rowVertices[y])
        owners[own[v].x()] = v;
}
