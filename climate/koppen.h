// The Köppen–Geiger class of a place from its twelve monthly means, by the
// rules of Peel, Finlayson and McMahon (2007), "Updated world map of the
// Köppen–Geiger climate classification", Hydrology and Earth System
// Sciences 11, 1633–1644, Table 1, exactly:
//
// MAT, MAP: annual mean temperature (°C) and precipitation (mm); Thot,
// Tcold: the warmest and coldest month's mean; Tmon10: months above 10 °C;
// Pdry: the driest month; summer and winter are the warmer and the cooler of
// the six-month halves ONDJFM and AMJJAS; Psdry, Pswet, Pwdry, Pwwet: the
// driest and wettest month of summer and of winter. Pthreshold is 2 x MAT
// when 70% or more of MAP falls in winter, 2 x MAT + 28 when 70% or more
// falls in summer, else 2 x MAT + 14 (so that 10 x Pthreshold is in mm).
//
// The groups are tried in the order E, B, then A, C, D by temperature
// (Köppen's: a polar place is E however dry; a dry one is B however warm):
// E  Thot < 10:            ET Thot > 0, else EF;
// B  MAP < 10 Pthreshold:  BW MAP < 5 Pthreshold, else BS; h MAT >= 18, k below;
// A  Tcold >= 18:          Af Pdry >= 60; Am Pdry >= 100 - MAP/25; else Aw;
// C  0 < Tcold < 18, D Tcold <= 0 (both with Thot > 10):
//    s Psdry < 40 and Psdry < Pwwet/3; else w Pwdry < Pswet/10; else f;
//    a Thot >= 22; b Tmon10 >= 4; d (D only) Tcold < -38; c otherwise.
#ifndef KOPPEN_H
#define KOPPEN_H

#include <cstdint>

// The codes the GeoTIFF's first band holds: 0 the sea, then Peel et al.'s
// thirty classes in their table's order.
enum class Koppen : std::uint8_t {
    Sea,
    Af,
    Am,
    Aw,
    BWh,
    BWk,
    BSh,
    BSk,
    Csa,
    Csb,
    Csc,
    Cwa,
    Cwb,
    Cwc,
    Cfa,
    Cfb,
    Cfc,
    Dsa,
    Dsb,
    Dsc,
    Dsd,
    Dwa,
    Dwb,
    Dwc,
    Dwd,
    Dfa,
    Dfb,
    Dfc,
    Dfd,
    ET,
    EF
};
const int koppenCodeCount = 31;

// "Af", "BWh", ...; "sea" for code 0.
const char *koppenName(Koppen k);
// 'A' .. 'E'; 0 for the sea.
char koppenGroup(Koppen k);
// Peel et al.'s colours of their Figure 2 as 0xRRGGBB; the sea's is the
// maps' own deep water, drawn apart by the callers.
std::uint32_t koppenColour(Koppen k);

// The class of twelve monthly means: temperature in °C, precipitation in
// mm, January first.
Koppen koppenClass(const float temperature[12], const float precipitation[12]);

#endif
