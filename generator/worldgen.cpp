#include "generator/worldgen.h"

#include "generator/randomlevels.h"
#include "sphere/sphere.h"
#include "world/meshrules.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <unordered_map>

namespace {

// A triangle of the mesh being built: its three corner vertices.
using Face = std::array<int, 3>;

struct Mesh
{
    std::vector<Vec3> points;
    std::vector<Face> triangles;
};

bool facesOutward(const Mesh &mesh, const Face &t)
{
    return outwardTurn(mesh.points[t[0]], mesh.points[t[1]], mesh.points[t[2]]) > 0;
}

// Only square roots build the corners (sin and cos of multiples of 36
// degrees in closed form): they are correctly rounded everywhere, libm's
// trigonometry is not, and the noise must see identical points.
Mesh icosahedron()
{
    const double s5 = std::sqrt(5.0);
    const double c36 = (1 + s5) / 4, s36 = std::sqrt(10 - 2 * s5) / 4;
    const double c72 = (s5 - 1) / 4, s72 = std::sqrt(10 + 2 * s5) / 4;
    // Azimuth m * 36 degrees as (sin, cos).
    const double sinCos[10][2] = {{0, 1},  {s36, c36},   {s72, c72},   {s72, -c72}, {s36, -c36},
                                  {0, -1}, {-s36, -c36}, {-s72, -c72}, {-s72, c72}, {-s36, c36}};
    const double ringRadius = 2 / s5, ringHeight = 1 / s5;
    Mesh mesh;
    mesh.points.push_back({0, 0, 1});
    for (int m = 0; m < 10; ++m) {
        const bool upper = m < 5;
        const int azimuth = upper ? 2 * m : 2 * (m - 5) + 1;
        mesh.points.push_back({ringRadius * sinCos[azimuth][0], ringRadius * sinCos[azimuth][1],
                               upper ? ringHeight : -ringHeight});
    }
    mesh.points.push_back({0, 0, -1});
    for (int k = 0; k < 5; ++k) {
        const int u0 = 1 + k, u1 = 1 + (k + 1) % 5, l0 = 6 + k, l1 = 6 + (k + 1) % 5;
        for (Face t : {Face{0, u0, u1}, Face{u0, l0, u1}, Face{u1, l0, l1}, Face{11, l0, l1}}) {
            if (!facesOutward(mesh, t))
                std::swap(t[1], t[2]);
            mesh.triangles.push_back(t);
        }
    }
    return mesh;
}

// Splits every triangle into four; corner order, and so orientation, is kept.
void subdivide(Mesh &mesh)
{
    std::unordered_map<quint64, int> midpoints;
    midpoints.reserve(mesh.triangles.size() * 3 / 2);
    auto midpoint = [&mesh, &midpoints](int a, int b) {
        const quint64 key = quint64(std::min(a, b)) << 32 | quint64(std::max(a, b));
        const auto found = midpoints.emplace(key, int(mesh.points.size()));
        if (found.second) {
            const Vec3 &p = mesh.points[a], &q = mesh.points[b];
            mesh.points.push_back(normalised(p + q));
        }
        return found.first->second;
    };
    std::vector<Face> finer;
    finer.reserve(mesh.triangles.size() * 4);
    for (const Face &t : mesh.triangles) {
        const int ab = midpoint(t[0], t[1]), bc = midpoint(t[1], t[2]), ca = midpoint(t[2], t[0]);
        finer.push_back({t[0], ab, ca});
        finer.push_back({ab, t[1], bc});
        finer.push_back({ca, bc, t[2]});
        finer.push_back({ab, bc, ca});
    }
    mesh.triangles.swap(finer);
}

// The triangles around each vertex, at most six, in triangle index order.
class Incidence
{
public:
    Incidence(const std::vector<Face> &triangles, int vertexCount)
        : entries(6 * size_t(vertexCount)), counts(vertexCount, 0)
    {
        for (int t = 0; t < int(triangles.size()); ++t) {
            for (int v : triangles[t])
                entries[6 * size_t(v) + counts[v]++] = t;
        }
    }
    int count(int v) const { return counts[v]; }
    int at(int v, int i) const { return entries[6 * size_t(v) + i]; }

private:
    std::vector<int> entries;
    std::vector<unsigned char> counts;
};

// The triangle holding the directed edge from -> to, as corner k -> k + 1;
// with consistent orientation it is the neighbour across to -> from.
// Returns 3 * triangle + k.
int edgeSlot(const std::vector<Face> &triangles, const Incidence &around, int from, int to)
{
    for (int i = 0; i < around.count(from); ++i) {
        const int t = around.at(from, i);
        const int k = cornerIndex(triangles[t].data(), from);
        if (triangles[t][(k + 1) % 3] == to)
            return 3 * t + k;
    }
    return -1;
}

double azimuth(const Vec3 &p)
{
    if (p.x == 0 && p.y == 0)
        return 0;
    const double phi = azimuthOf(p);
    return phi < 0 ? phi + 2 * pi : phi;
}

std::vector<int> ringsFromPole(const Mesh &mesh, const Incidence &around)
{
    std::vector<int> ring(mesh.points.size(), -1);
    std::vector<int> queue{0};
    ring[0] = 0;
    for (size_t head = 0; head < queue.size(); ++head) {
        const int v = queue[head];
        for (int i = 0; i < around.count(v); ++i) {
            const Face &t = mesh.triangles[around.at(v, i)];
            const int next = t[(cornerIndex(t.data(), v) + 1) % 3];
            if (ring[next] < 0) {
                ring[next] = ring[v] + 1;
                queue.push_back(next);
            }
        }
    }
    return ring;
}

// Renumbers the vertices ring by ring from the pole, by azimuth in a ring.
void numberFromPole(Mesh &mesh)
{
    const int count = int(mesh.points.size());
    const std::vector<int> ring = ringsFromPole(mesh, Incidence(mesh.triangles, count));
    std::vector<double> phi(count);
    std::vector<int> order(count);
    for (int v = 0; v < count; ++v) {
        phi[v] = azimuth(mesh.points[v]);
        order[v] = v;
    }
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return std::tie(ring[a], phi[a], a) < std::tie(ring[b], phi[b], b);
    });
    std::vector<int> newIndex(count);
    std::vector<Vec3> points(count);
    for (int i = 0; i < count; ++i) {
        newIndex[order[i]] = i;
        points[i] = mesh.points[order[i]];
    }
    mesh.points.swap(points);
    for (Face &t : mesh.triangles) {
        for (int &v : t)
            v = newIndex[v];
    }
}

// Which triangle edges each triangle outlines. The dual graph (triangles
// joined across edges) is cubic and 2-edge-connected, so the DFS
// orientation (tree edges away from the root, back edges towards it) is
// strongly connected: every triangle has one or two dual edges pointing in,
// and owns those edges. Iterative, because the DFS reaches millions deep.
std::vector<char> ownedEdges(const std::vector<Face> &triangles, const Incidence &around)
{
    std::vector<char> owned(3 * triangles.size(), 0), decided(owned.size(), 0);
    std::vector<char> visited(triangles.size(), 0);
    std::vector<std::pair<int, int>> stack{{0, 0}};
    visited[0] = 1;
    while (!stack.empty()) {
        const int t = stack.back().first, k = stack.back().second++;
        if (k == 3) {
            stack.pop_back();
            continue;
        }
        if (decided[3 * t + k])
            continue;
        const int across = edgeSlot(triangles, around, triangles[t][(k + 1) % 3], triangles[t][k]);
        decided[3 * t + k] = decided[across] = 1;
        owned[across] = 1;
        if (!visited[across / 3]) {
            visited[across / 3] = 1;
            stack.push_back({across / 3, 0});
        }
    }
    return owned;
}

// Rotates each triangle so that its flag tells which edges it outlines.
std::vector<int> cornerTable(std::vector<Face> &triangles, const std::vector<char> &owned)
{
    std::vector<int> corners;
    corners.reserve(4 * triangles.size());
    for (size_t t = 0; t < triangles.size(); ++t) {
        const char *own = &owned[3 * t];
        const bool single = own[0] + own[1] + own[2] == 1;
        const int first = int(std::find(own, own + 3, single ? 1 : 0) - own);
        const Face old = triangles[t];
        for (int i = 0; i < 3; ++i)
            triangles[t][i] = old[(first + i) % 3];
        corners.insert(corners.end(), triangles[t].begin(), triangles[t].end());
        corners.push_back(single ? 1 : 0);
    }
    return corners;
}

// Counter-clockwise from outside: in triangle (v, b, c) the next triangle
// around v is the one across the edge c -> v.
QVector<int> fanTable(const std::vector<Face> &triangles, const Incidence &around, int vertexCount)
{
    QVector<int> fans;
    fans.reserve(6 * vertexCount);
    for (int v = 0; v < vertexCount; ++v) {
        int t = around.at(v, 0);
        for (int i = 0; i < around.count(v); ++i) {
            fans.push_back(t);
            const int before = triangles[t][(cornerIndex(triangles[t].data(), v) + 2) % 3];
            t = edgeSlot(triangles, around, v, before) / 3;
        }
        if (around.count(v) == 5)
            fans.push_back(fans.back());
    }
    return fans;
}

QVector<float> angleTable(const std::vector<Vec3> &points)
{
    QVector<float> coords;
    coords.reserve(2 * int(points.size()));
    for (const Vec3 &p : points) {
        coords.push_back(float(polarAngleOf(p)));
        coords.push_back(float(azimuth(p)));
    }
    return coords;
}

QVector<int> headerTable(int subdivision, int vertexCount, int triangleCount)
{
    const int edgeCount = vertexCount + triangleCount - 2;
    return {subdivision, 1 << subdivision, edgeCount, triangleCount / 2, 0, 12, 1, 0, 0,
            0,           vertexCount};
}

} // namespace

World generateWorld(const WorldRecipe &recipe)
{
    Mesh mesh = icosahedron();
    for (int s = 0; s < recipe.subdivision; ++s)
        subdivide(mesh);
    numberFromPole(mesh);
    const int vertexCount = int(mesh.points.size());
    const Incidence around(mesh.triangles, vertexCount);

    World world;
    world.header = headerTable(recipe.subdivision, vertexCount, int(mesh.triangles.size()));
    world.levels = recipe.terrain == WorldRecipe::Random ? randomLevels(mesh.points, recipe.seed)
                                                         : QVector<int>(vertexCount, 0);
    world.coords = angleTable(mesh.points);
    const std::vector<int> corners =
        cornerTable(mesh.triangles, ownedEdges(mesh.triangles, around));
    world.corners = QVector<int>(corners.begin(), corners.end());
    world.fans = fanTable(mesh.triangles, around, vertexCount);
    world.demoFlag = recipe.demo ? 1 : 0;
    world.vertexCount = vertexCount;
    world.triangleCount = int(mesh.triangles.size());
    return world;
}
