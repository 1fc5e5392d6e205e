#include "generator/randomlevels.h"

#include "generator/noise.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

const double seaShare = 0.70;

// Cumulative share of the land at or below each level 1..9: the last three
// levels hold 11% of the land, about 3% of the world.
const double landShareUpTo[9] = {0.30, 0.50, 0.65, 0.75, 0.83, 0.89, 0.94, 0.975, 1.0};

// Vertex indices ordered by value; ties by index so the order is total.
std::vector<int> rankOrder(const std::vector<int> &indices, const std::vector<double> &value)
{
    std::vector<int> order = indices;
    std::sort(order.begin(), order.end(), [&value](int a, int b) {
        return value[a] < value[b] || (value[a] == value[b] && a < b);
    });
    return order;
}

double smoothStep(double edge0, double edge1, double x)
{
    const double t = std::min(1.0, std::max(0.0, (x - edge0) / (edge1 - edge0)));
    return t * t * (3 - 2 * t);
}

} // namespace

QVector<int> levelsByRank(const std::vector<double> &height, const std::vector<double> &elevation)
{
    const int count = int(height.size());
    std::vector<int> all(count);
    std::iota(all.begin(), all.end(), 0);
    const std::vector<int> byHeight = rankOrder(all, height);
    const int seaCount = int(std::lround(seaShare * count));
    const std::vector<int> land(byHeight.begin() + seaCount, byHeight.end());
    QVector<int> levels(count, 0);
    const std::vector<int> byElevation = rankOrder(land, elevation);
    int level = 1;
    for (int rank = 0; rank < int(byElevation.size()); ++rank) {
        while (level < 9 && rank >= landShareUpTo[level - 1] * byElevation.size())
            ++level;
        levels[byElevation[rank]] = level;
    }
    return levels;
}

QVector<int> randomLevels(const std::vector<Vec3> &points, quint32 seed)
{
    const int count = int(points.size());
    SplitMix64 random(seed);
    const FractalNoise continents(random, 5, 1.5);
    const FractalNoise ranges(random, 3, 2.0);

    std::vector<double> height(count);
    for (int v = 0; v < count; ++v)
        height[v] = continents.at(points[v]);
    std::vector<int> all(count);
    std::iota(all.begin(), all.end(), 0);
    const std::vector<int> byHeight = rankOrder(all, height);
    const int seaCount = int(std::lround(seaShare * count));
    const std::vector<int> land(byHeight.begin() + seaCount, byHeight.end());

    // Ridges are where the second noise crosses zero; fading them in with
    // the height above the coast keeps mountains off the shore.
    const double coast = land.empty() ? 0 : height[land.front()];
    const double peak = land.empty() ? 1 : height[land.back()];
    std::vector<double> elevation(count);
    for (int v : land) {
        const double inland = (height[v] - coast) / std::max(peak - coast, 1e-12);
        const double ridge = 1 - std::fabs(ranges.at(points[v]));
        const double sharp = ridge * ridge * ridge; // libm's pow may differ between machines
        elevation[v] = inland + 1.5 * sharp * sharp * smoothStep(0.0, 0.3, inland);
    }
    return levelsByRank(height, elevation);
}
