#include "climate/insolation.h"

#include "sphere/sphere.h"

#include <algorithm>
#include <cmath>

double dailyInsolation(double latDeg, double day)
{
    const double year = 2 * pi / daysInYear;
    const double decl = std::asin(std::sin(earthTilt * degree) * std::sin(year * (day - 80)));
    const double lat = latDeg * degree;
    const double cosH = std::clamp(-std::tan(lat) * std::tan(decl), -1.0, 1.0);
    const double h0 = std::acos(cosH);
    const double distance = 1 + 0.0334 * std::cos(year * (day - 3));
    return solarConstant / pi * distance *
           (h0 * std::sin(lat) * std::sin(decl) + std::cos(lat) * std::cos(decl) * std::sin(h0));
}

double monthMiddle(int month)
{
    return (month + 0.5) * daysInYear / 12;
}
