// A Whittaker-style biome (Whittaker 1975, Communities and Ecosystems, the
// biome diagram over annual mean temperature and precipitation), with the
// cold end by Köppen's summer rule so that the two maps agree: a place whose
// warmest month stays below 10 °C is tundra (Köppen's E), below 0 °C ice.
//
// Above that, by annual mean temperature MAT (°C) and precipitation MAP (mm):
// - MAT below 3:   boreal forest; below 250 mm cold desert;
// - MAT 3 to 20:   temperate; MAP below 250 + 10 MAT "temperate grassland
//                  / desert", below 500 + 20 MAT "woodland / shrubland",
//                  below 1500 + 40 MAT "temperate seasonal forest", else
//                  "temperate rainforest";
// - MAT 20 and up: tropical; MAP below 300 + 10 MAT "subtropical desert",
//                  below 2500 "tropical seasonal forest / savanna", else
//                  "tropical rainforest".
// The lines are straight cuts through Whittaker's curved boundaries, read
// off his diagram: good to a biome's width, not to the millimetre.
#ifndef BIOME_H
#define BIOME_H

#include <cstdint>

enum class Biome : std::uint8_t {
    Ocean,
    Ice,
    Tundra,
    ColdDesert,
    BorealForest,
    TemperateGrassland,
    Woodland,
    TemperateSeasonalForest,
    TemperateRainforest,
    SubtropicalDesert,
    Savanna,
    TropicalRainforest
};
const int biomeCount = 12;

// "ocean", "ice", "tundra", "cold desert", "boreal forest", "temperate
// grassland/desert", "woodland/shrubland", "temperate seasonal forest",
// "temperate rainforest", "subtropical desert", "tropical seasonal
// forest/savanna", "tropical rainforest".
const char *biomeName(Biome b);
// The colours of Whittaker's diagram as drawn in most textbooks, 0xRRGGBB.
std::uint32_t biomeColour(Biome b);

// The biome of a land place from its twelve monthly means (°C, mm).
Biome biomeOf(const float temperature[12], const float precipitation[12]);

#endif
