#include "climate/biome.h"

#include <algorithm>

namespace {

struct BiomeInfo
{
    const char *name;
    std::uint32_t colour;
};

const BiomeInfo biomes[biomeCount] = {{"ocean", 0x1f4e8c},
                                      {"ice", 0xf4f8fc},
                                      {"tundra", 0x93a7ac},
                                      {"cold desert", 0xc9c0a0},
                                      {"boreal forest", 0x5b8f5a},
                                      {"temperate grassland/desert", 0xdcbb50},
                                      {"woodland/shrubland", 0xb37c06},
                                      {"temperate seasonal forest", 0x2c89a0},
                                      {"temperate rainforest", 0x0a546d},
                                      {"subtropical desert", 0xc87137},
                                      {"tropical seasonal forest/savanna", 0x97a527},
                                      {"tropical rainforest", 0x075330}};

} // namespace

const char *biomeName(Biome b)
{
    return biomes[int(b)].name;
}

std::uint32_t biomeColour(Biome b)
{
    return biomes[int(b)].colour;
}

Biome biomeOf(const float temperature[12], const float precipitation[12])
{
    double mat = 0, map = 0, hottest = -1e9;
    for (int m = 0; m < 12; ++m) {
        mat += temperature[m] / 12;
        map += precipitation[m];
        hottest = std::max(hottest, double(temperature[m]));
    }
    if (hottest < 10)
        return hottest > 0 ? Biome::Tundra : Biome::Ice;
    if (mat < 3)
        return map < 250 ? Biome::ColdDesert : Biome::BorealForest;
    if (mat < 20) {
        if (map < 250 + 10 * mat)
            return Biome::TemperateGrassland;
        if (map < 500 + 20 * mat)
            return Biome::Woodland;
        return map < 1500 + 40 * mat ? Biome::TemperateSeasonalForest : Biome::TemperateRainforest;
    }
    if (map < 300 + 10 * mat)
        return Biome::SubtropicalDesert;
    return map < 2500 ? Biome::Savanna : Biome::TropicalRainforest;
}
