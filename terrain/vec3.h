// Points and directions in model space, in double precision, for the code
// that reasons about the mesh's geometry (the generator, its checks, the maps).
#ifndef VEC3_H
#define VEC3_H

#include <cmath>

struct Vec3
{
    double x, y, z;
};

inline Vec3 operator+(const Vec3 &a, const Vec3 &b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

inline Vec3 operator-(const Vec3 &a, const Vec3 &b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

inline Vec3 cross(const Vec3 &a, const Vec3 &b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double dot(const Vec3 &a, const Vec3 &b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

inline Vec3 normalised(const Vec3 &a)
{
    const double length = std::sqrt(dot(a, a));
    return {a.x / length, a.y / length, a.z / length};
}

// The unit direction with polar angle theta and azimuth phi, by the corner
// position rule (levelrules.h).
inline Vec3 unitDirection(double theta, double phi)
{
    return {std::sin(theta) * std::sin(phi), std::sin(theta) * std::cos(phi), std::cos(theta)};
}

// Positive when the triangle a, b, c turns counter-clockwise seen from
// outside the globe: its normal (b - a) x (c - a) against the direction of
// its centre. Zero for a flat one.
inline double outwardTurn(const Vec3 &a, const Vec3 &b, const Vec3 &c)
{
    return dot(cross(b - a, c - a), a + b + c);
}

#endif
