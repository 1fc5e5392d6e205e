#include "climate/circulation.h"

#include "climate/insolation.h"
#include "sphere/sphere.h"

#include <cmath>

namespace {

double gauss(double x, double width)
{
    return std::exp(-(x / width) * (x / width));
}

Wind unit(double east, double north)
{
    const double length = std::hypot(east, north);
    return {east / length, north / length};
}

} // namespace

double Belts::itcz(double landness) const
{
    return itczSea + (itczAmplitudeLand - itczAmplitudeSea) * landness * sigma;
}

Belts beltsOf(int month)
{
    Belts b;
    b.sigma = std::sin(2 * pi * (monthMiddle(month) - 80 - 35) / daysInYear);
    b.itczSea = 4 + b.itczAmplitudeSea * b.sigma;
    b.ridgeN = 30 + 5 * b.sigma;
    b.ridgeS = -30 + 5 * b.sigma;
    b.frontN = 62 + 4 * b.sigma;
    b.frontS = -62 + 4 * b.sigma;
    b.trackN = 46 + 6 * b.sigma;
    b.trackS = -46 + 6 * b.sigma;
    return b;
}

Wind surfaceWind(const Belts &b, double latDeg, double itcz)
{
    if (latDeg >= itcz) {
        if (latDeg < b.ridgeN)
            return unit(latDeg > -5 ? -1 : 0.7, -0.5);
        if (latDeg < b.frontN)
            return unit(1, 0.3);
        return unit(-0.7, -0.3);
    }
    if (latDeg > b.ridgeS)
        return unit(latDeg < 5 ? -1 : 0.7, 0.5);
    if (latDeg > b.frontS)
        return unit(1, -0.3);
    return unit(-0.7, 0.3);
}

double ridgeDamping(const Belts &b, double latDeg)
{
    const double nearest =
        std::fabs(latDeg - b.ridgeN) < std::fabs(latDeg - b.ridgeS) ? b.ridgeN : b.ridgeS;
    return 1 - 0.7 * gauss(latDeg - nearest, 7);
}

double oceanRain(const Belts &b, double latDeg, double itcz)
{
    const double north = 110 * gauss(latDeg - b.trackN, 14) * (1 - 0.25 * b.sigma);
    const double south = 110 * gauss(latDeg - b.trackS, 14) * (1 + 0.25 * b.sigma);
    const double rain = 240 * gauss(latDeg - itcz, 8) + 60 * gauss(latDeg, 15) + north + south + 15;
    return rain * ridgeDamping(b, latDeg);
}
