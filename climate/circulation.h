// The general circulation as belts of latitude that follow the sun: where
// the surface wind blows from and how much rain the air over an open ocean
// lets fall, by latitude and month. The climate model (climatemodel.h)
// carries moisture along these winds over the real land and sea.
//
// The belts shift north with the season sigma = sin(2 pi (day - 80 - 35) /
// 365.25), +1 a little after the northern summer solstice (the oceans' lag):
// - the ITCZ at 4 + A sigma degrees, A = 8 over the open sea and up to 18
//   over land far from it (landness 1): the monsoons reach further over the
//   continents (Hartmann ch. 6; the ITCZ's observed 5 N mean, and its reach
//   to 20-25 N over South Asia in July and 15 S over Africa, South America
//   and Australia in January);
// - the subtropical ridges at +-30 + 5 sigma, the polar fronts at +-62 + 4
//   sigma, the storm tracks at +-46 + 6 sigma;
// - surface winds: between the ITCZ and the ridges the trades, from the east
//   and towards the ITCZ; trades that crossed the equator turn to blow from
//   the west (the monsoons of South Asia, West Africa and northern
//   Australia); between the ridges and the polar fronts the westerlies,
//   from the west and poleward; beyond, the polar easterlies.
//
// Rain over the open ocean, mm per month, as the sum of Gaussian belts:
// 240 exp(-((lat - itcz)/8)^2) at the ITCZ, 60 exp(-(lat/15)^2) of tropical
// showers, 90 exp(-((|lat| - track)/12)^2) on each storm track (a quarter
// more in its winter, a quarter less in its summer), 10 everywhere, the
// whole cut by up to 70% near the subtropical ridges, 1 - 0.7
// exp(-((lat - ridge)/7)^2). The numbers are read off the zonal means of
// GPCP's precipitation (Adler et al. 2003) to their first digit.
#ifndef CIRCULATION_H
#define CIRCULATION_H

// The belts of one month.
struct Belts
{
    double sigma = 0;   // the season, +1 in the northern summer
    double itczSea = 4; // degrees of latitude
    double itczAmplitudeSea = 8, itczAmplitudeLand = 14;
    double ridgeN = 30, ridgeS = -30;
    double frontN = 62, frontS = -62;
    double trackN = 46, trackS = -46;

    // The ITCZ where landness (0 open sea .. 1 deep inland) is as given.
    double itcz(double landness) const;
};

Belts beltsOf(int month);

// The surface wind's direction as east and north components of a unit
// vector: where the air goes, not where it comes from.
struct Wind
{
    double east, north;
};
Wind surfaceWind(const Belts &belts, double latDeg, double itcz);

// Rain over the open ocean at latDeg, mm per month, with the ITCZ at itcz.
double oceanRain(const Belts &belts, double latDeg, double itcz);

// How much the subtropical ridges damp rain at latDeg: 1 far from them,
// 0.3 on them.
double ridgeDamping(const Belts &belts, double latDeg);

#endif
