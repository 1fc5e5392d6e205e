#include "sphere/sphere.h"

#include <algorithm>
#include <cmath>

LonLat lonLatOf(const Vec3 &unit)
{
    const double theta = std::acos(std::max(-1.0, std::min(1.0, unit.z)));
    const double phi = std::atan2(unit.x, unit.y);
    double lon = 180 - phi * 180 / pi;
    lon -= 360 * std::floor((lon + 180) / 360);
    return {lon, 90 - theta * 180 / pi};
}

LonLat lonLatOfAngles(double polar, double azimuth)
{
    return lonLatOf(unitDirection(polar, azimuth));
}

Vec3 unitOfLonLat(double lon, double lat)
{
    return unitDirection((90 - lat) * degree, (180 - lon) * degree);
}

double polarAngleOf(const Vec3 &d)
{
    return std::atan2(std::hypot(d.x, d.y), d.z);
}

double azimuthOf(const Vec3 &d)
{
    return std::atan2(d.x, d.y);
}

double angleBetween(const Vec3 &a, const Vec3 &b)
{
    const Vec3 c = cross(a, b);
    return std::atan2(std::sqrt(dot(c, c)), dot(a, b));
}

double greatCircleKm(const Vec3 &a, const Vec3 &b, double radiusKm)
{
    return angleBetween(a, b) * radiusKm;
}

double sphericalExcess(const Vec3 &a, const Vec3 &b, const Vec3 &c)
{
    const double turn = std::fabs(dot(a, cross(b, c)));
    return 2 * std::atan2(turn, 1 + dot(a, b) + dot(b, c) + dot(c, a));
}
