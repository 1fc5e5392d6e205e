#include "generator/randomlevels.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

namespace {

// std::uniform_*_distribution differ between standard libraries, and the
// same seed must give the same world everywhere: so our own generator.
std::uint64_t mix64(std::uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

class SplitMix64
{
public:
    explicit SplitMix64(std::uint64_t seed) : state(seed) {}
    std::uint64_t next() { return mix64(state += 0x9E3779B97F4A7C15ull); }
    // The top 53 bits scaled by 2^-53 convert exactly: [0, 1).
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    std::uint64_t state;
};

struct Octave
{
    double offset[3];
    std::uint64_t salt;
};

// Several octaves of value noise; the random offsets keep the octaves' and
// seeds' lattices from lining up.
class FractalNoise
{
public:
    FractalNoise(SplitMix64 &random, int octaves, double baseFrequency)
        : baseFrequency(baseFrequency)
    {
        for (int o = 0; o < octaves; ++o)
            layers.push_back({{random.unit() * 1000, random.unit() * 1000, random.unit() * 1000},
                              random.next()});
    }

    // In [-1, 1].
    double at(const Vec3 &p) const
    {
        double sum = 0, amplitude = 1, total = 0, frequency = baseFrequency;
        for (const Octave &layer : layers) {
            sum += amplitude * valueNoise(p.x * frequency + layer.offset[0],
                                          p.y * frequency + layer.offset[1],
                                          p.z * frequency + layer.offset[2], layer.salt);
            total += amplitude;
            amplitude *= 0.5;
            frequency *= 2;
        }
        return sum / total;
    }

private:
    static double latticeValue(std::int64_t i, std::int64_t j, std::int64_t k, std::uint64_t salt)
    {
        const std::uint64_t h = mix64(std::uint64_t(i) * 0x8CB92BA72F3D8DD7ull ^
                                      std::uint64_t(j) * 0xD6E8FEB86659FD93ull ^
                                      std::uint64_t(k) * 0xA0761D6478BD642Full ^ salt);
        return double(h >> 11) * (2.0 / 9007199254740992.0) - 1.0;
    }

    static double fade(double t) { return t * t * (3 - 2 * t); }
    static double lerp(double a, double b, double t) { return a + (b - a) * t; }

    static double valueNoise(double x, double y, double z, std::uint64_t salt)
    {
        const double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
        const auto i = std::int64_t(fx), j = std::int64_t(fy), k = std::int64_t(fz);
        const double u = fade(x - fx), v = fade(y - fy), w = fade(z - fz);
        double plane[2];
        for (int dk = 0; dk < 2; ++dk) {
            const double low =
                lerp(latticeValue(i, j, k + dk, salt), latticeValue(i + 1, j, k + dk, salt), u);
            const double high = lerp(latticeValue(i, j + 1, k + dk, salt),
                                     latticeValue(i + 1, j + 1, k + dk, salt), u);
            plane[dk] = lerp(low, high, v);
        }
        return lerp(plane[0], plane[1], w);
    }

    double baseFrequency;
    std::vector<Octave> layers;
};

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
