// A climate from the relief alone: monthly mean temperature and
// precipitation for every vertex of a world, then its Köppen–Geiger class
// (koppen.h) and biome (biome.h). The rules and constants, with their
// sources and where they miss, are in docs/climate.md; in short:
//
// Temperature (°C), per month m at latitude lat and height h:
//   T = Tsea(lat) + b f(c) dQ A - 0.0065 h,
// - Tsea: the annual mean of sea-level air over the open ocean, by latitude
//   (a table at every 10 degrees, linear between);
// - dQ: the daily insolation (insolation.h) at the middle of m less its
//   annual mean, lagged by 60 days over the sea and 45 - 20 c over land;
//   b = 0.19 °C per W/m² (the slope of annual zonal means against
//   insolation);
// - c: continentality, 0 at sea .. 1 deep inland upwind: 1 minus the marine
//   air's share, carried along the month's wind (circulation.h) and lost
//   with e-folding length 2000 km over land, and at most exp(-d/250 km)
//   from the nearest sea d away;
// - f(c) = 0.10 at sea, 0.13 + 0.30 c on land: how far the seasons swing;
//   A = 1 + 1.1 c r in the cold half of the year (r rising from 0 at 25
//   degrees to 1 at 50: the long nights of snow-covered interiors), else 1.
//
// Precipitation (mm per month):
// - moisture q, 1 over the sea far downwind of land, carried along the wind
//   over the graph: over the sea it recovers towards 1 as 1 - (1 - q)
//   exp(-d/1000 km), over land it is lost as exp(-d/2500 km) and, climbing
//   a slope, as exp(-rise/1500 m) (the rain shadow), and never regained by
//   going down; near a coast the nearest sea's moisture reaches inland as
//   exp(-d/400 km);
// - rain = cc(T) q (ocean(lat) + convection + 6 mm per m/km of the slope
//   climbed along the wind), ocean(lat) the belts' rain (circulation.h);
//   convection on warm land, 150 mm x max(0, (q - 0.4)/0.6) x
//   clamp((T - 20)/6, 0, 1), damped on the subtropical ridges; cc(T) =
//   min(1, exp(0.07 (T - 8))), the Clausius–Clapeyron limit of cold air.
//
// The same world gives the same climate, bit for bit.
#ifndef CLIMATEMODEL_H
#define CLIMATEMODEL_H

#include "climate/biome.h"
#include "climate/koppen.h"
#include "sphere/spheregraph.h"

#include <QVector>

#include <vector>

struct Climate
{
    int vertexCount = 0;
    std::vector<char> sea;            // level 0
    std::vector<float> heightM;       // metres; 0 on the sea
    std::vector<float> temperature;   // °C, 12 per vertex: [12 v + m], m = 0 January
    std::vector<float> precipitation; // mm per month, likewise
    std::vector<Koppen> koppen;       // Koppen::Sea on the sea
    std::vector<Biome> biome;         // Biome::Ocean on the sea

    const float *temperatureOf(int v) const { return &temperature[12 * size_t(v)]; }
    const float *precipitationOf(int v) const { return &precipitation[12 * size_t(v)]; }
    float annualMean(int v) const;   // °C
    float annualTotal(int v) const;  // mm
    float warmestMonth(int v) const; // °C
    float coldestMonth(int v) const; // °C
};

// The climate of graph's vertices with the levels given (level 0 the sea;
// a level outside 1..9 is land at sea level) standing for levelMetres[k -
// 1] metres above the sea for level k.
Climate computeClimate(const SphereGraph &graph, const QVector<int> &levels,
                       const double levelMetres[9]);

#endif
