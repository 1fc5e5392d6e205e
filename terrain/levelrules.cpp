#include "terrain/levelrules.h"

#include <QtGlobal>

#include <cmath>
#include <cstring>

namespace {

const float baseRadius = float(baseSphereRadius);

// Height above the base sphere, in base radii, of levels 1..9 at subdivision 4.
const double levelHeights[10] = {0.0, 0.005, 0.01, 0.02, 0.035, 0.05, 0.06, 0.065, 0.07, 0.075};

const float levelColors[10][3] = {
    {0.5098f, 0.7608f, 0.9647f}, // water
    {0.3098f, 0.9686f, 0.5294f}, {0.6f, 1.0f, 0.6628f},       {0.9216f, 0.8235f, 0.5529f},
    {0.8863f, 0.6745f, 0.3922f}, {0.8431f, 0.5647f, 0.2549f}, {0.8392f, 0.498f, 0.2902f},
    {0.8235f, 0.4431f, 0.2118f}, {0.7059f, 0.3804f, 0.1804f}, {0.5843f, 0.2863f, 0.1529f},
};

// The radii change only with the subdivision, yet every corner placed and
// every outline lifted asked pow() again: they are kept for the last one seen.
const float *levelRadii(int subdivision)
{
    static bool known = false;
    static int knownFor = 0;
    static float radii[10];
    if (!known || knownFor != subdivision) {
        // In double, so that no header value can overflow the exponent.
        const double scale = std::pow(4.0, double(subdivision) - 4.0);
        for (int level = 1; level <= 9; ++level)
            radii[level] = float((levelHeights[level] / scale + 1.0) * double(baseRadius));
        knownFor = subdivision;
        known = true;
    }
    return radii;
}

struct CornerTrig
{
    bool filled = false;
    quint64 angles = 0; // the bits of theta, then of phi
    double sinTheta = 0.0, cosTheta = 0.0, sinPhi = 0.0, cosPhi = 0.0;
};

// Each triangle places its corners and then lifts the same corners for its
// outline, and neighbouring triangles share corners: most corners repeat
// angles seen a moment ago. Keyed by the bits, so the values are the ones a
// fresh computation gives.
const CornerTrig &trigOf(float theta, float phi)
{
    static CornerTrig recent[64];
    quint32 thetaBits, phiBits;
    std::memcpy(&thetaBits, &theta, sizeof thetaBits);
    std::memcpy(&phiBits, &phi, sizeof phiBits);
    const quint64 angles = quint64(thetaBits) << 32 | phiBits;
    CornerTrig &slot = recent[(angles * 0x9E3779B97F4A7C15ull) >> 58];
    if (!slot.filled || slot.angles != angles) {
        slot.filled = true;
        slot.angles = angles;
        slot.sinTheta = std::sin(double(theta));
        slot.cosTheta = std::cos(double(theta));
        slot.sinPhi = std::sin(double(phi));
        slot.cosPhi = std::cos(double(phi));
    }
    return slot;
}

} // namespace

float radiusOfLevel(int level, int subdivision)
{
    return level < 1 || level > 9 ? baseRadius : levelRadii(subdivision)[level];
}

void levelColor(int level, float &red, float &green, float &blue)
{
    const bool known = level >= 0 && level <= 9;
    red = known ? levelColors[level][0] : 0.0f;
    green = known ? levelColors[level][1] : 0.0f;
    blue = known ? levelColors[level][2] : 0.0f;
}

void cornerPosition(double radius, float theta, float phi, float position[3])
{
    const CornerTrig &trig = trigOf(theta, phi);
    const double s = radius * trig.sinTheta;
    position[0] = float(s * trig.sinPhi);
    position[1] = float(s * trig.cosPhi);
    position[2] = float(radius * trig.cosTheta);
}
