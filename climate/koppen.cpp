#include "climate/koppen.h"

#include <algorithm>

namespace {

struct ClassInfo
{
    const char *name;
    std::uint32_t colour;
};

const ClassInfo classes[koppenCodeCount] = {
    {"sea", 0x000000}, {"Af", 0x0000ff},  {"Am", 0x0078ff},  {"Aw", 0x46aafa},  {"BWh", 0xff0000},
    {"BWk", 0xff9696}, {"BSh", 0xf5a500}, {"BSk", 0xffdc64}, {"Csa", 0xffff00}, {"Csb", 0xc8c800},
    {"Csc", 0x969600}, {"Cwa", 0x96ff96}, {"Cwb", 0x64c864}, {"Cwc", 0x329632}, {"Cfa", 0xc8ff50},
    {"Cfb", 0x64ff50}, {"Cfc", 0x32c800}, {"Dsa", 0xff00ff}, {"Dsb", 0xc800c8}, {"Dsc", 0x963296},
    {"Dsd", 0x966496}, {"Dwa", 0xaaafff}, {"Dwb", 0x5a78dc}, {"Dwc", 0x4b50b4}, {"Dwd", 0x320087},
    {"Dfa", 0x00ffff}, {"Dfb", 0x37c8ff}, {"Dfc", 0x007d7d}, {"Dfd", 0x00465f}, {"ET", 0xb2b2b2},
    {"EF", 0x666666}};

// The figures Table 1 works with.
struct Figures
{
    double mat = 0, map = 0, thot = -1e9, tcold = 1e9, pdry = 1e9;
    int tmon10 = 0;
    double summerP = 0, psdry = 1e9, pswet = 0, pwdry = 1e9, pwwet = 0;
};

Figures figuresOf(const float t[12], const float p[12])
{
    Figures f;
    // AMJJAS is months 3..8; it is summer where it is the warmer half.
    double aprSep = 0, octMar = 0;
    for (int m = 0; m < 12; ++m)
        (m >= 3 && m <= 8 ? aprSep : octMar) += t[m];
    const bool northernSummer = aprSep >= octMar;
    for (int m = 0; m < 12; ++m) {
        f.mat += t[m] / 12;
        f.map += p[m];
        f.thot = std::max(f.thot, double(t[m]));
        f.tcold = std::min(f.tcold, double(t[m]));
        f.pdry = std::min(f.pdry, double(p[m]));
        f.tmon10 += t[m] > 10;
        if ((m >= 3 && m <= 8) == northernSummer) {
            f.summerP += p[m];
            f.psdry = std::min(f.psdry, double(p[m]));
            f.pswet = std::max(f.pswet, double(p[m]));
        } else {
            f.pwdry = std::min(f.pwdry, double(p[m]));
            f.pwwet = std::max(f.pwwet, double(p[m]));
        }
    }
    return f;
}

double pThreshold(const Figures &f)
{
    const double winterP = f.map - f.summerP;
    if (winterP >= 0.7 * f.map)
        return 2 * f.mat;
    if (f.summerP >= 0.7 * f.map)
        return 2 * f.mat + 28;
    return 2 * f.mat + 14;
}

Koppen plus(Koppen base, int steps)
{
    return Koppen(int(base) + steps);
}

// C and D share the second and third letters; base is Csa or Dsa.
Koppen temperate(const Figures &f, Koppen base, bool cold)
{
    int kind = 2; // f
    if (f.psdry < 40 && f.psdry < f.pwwet / 3)
        kind = 0;
    else if (f.pwdry < f.pswet / 10)
        kind = 1;
    const int letters = cold ? 4 : 3;
    int heat;
    if (f.thot >= 22)
        heat = 0;
    else if (f.tmon10 >= 4)
        heat = 1;
    else if (cold && f.tcold < -38)
        heat = 3;
    else
        heat = 2;
    return plus(base, kind * letters + heat);
}

} // namespace

const char *koppenName(Koppen k)
{
    return classes[int(k)].name;
}

char koppenGroup(Koppen k)
{
    return k == Koppen::Sea ? 0 : classes[int(k)].name[0];
}

std::uint32_t koppenColour(Koppen k)
{
    return classes[int(k)].colour;
}

Koppen koppenClass(const float temperature[12], const float precipitation[12])
{
    const Figures f = figuresOf(temperature, precipitation);
    if (f.thot < 10)
        return f.thot > 0 ? Koppen::ET : Koppen::EF;
    const double threshold = pThreshold(f);
    if (f.map < 10 * threshold) {
        const bool hot = f.mat >= 18;
        if (f.map < 5 * threshold)
            return hot ? Koppen::BWh : Koppen::BWk;
        return hot ? Koppen::BSh : Koppen::BSk;
    }
    if (f.tcold >= 18) {
        if (f.pdry >= 60)
            return Koppen::Af;
        return f.pdry >= 100 - f.map / 25 ? Koppen::Am : Koppen::Aw;
    }
    if (f.tcold > 0)
        return temperate(f, Koppen::Csa, false);
    return temperate(f, Koppen::Dsa, true);
}
