// Seeded randomness that is the same on every IEEE machine: a SplitMix64
// stream and fractal value noise on the unit sphere. Only integer hashing
// and basic double arithmetic, since std::uniform_*_distribution and libm's
// pow differ between standard libraries and the same seed must give the
// same world everywhere.
#ifndef NOISE_H
#define NOISE_H

#include "terrain/vec3.h"

#include <cmath>
#include <cstdint>
#include <vector>

inline std::uint64_t mix64(std::uint64_t z)
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

#endif
