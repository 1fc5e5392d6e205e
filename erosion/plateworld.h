// A world made by plate tectonics and erosion: the geodesic mesh
// (generator/worldgen.h), plates and their relief (plates.h) ranked into
// levels with the random continents' shares (about 30% land, 11% of the
// land on the top three levels), then those levels eroded as the erode
// command erodes them (erosion.h), so the world drains to the sea.
#ifndef PLATEWORLD_H
#define PLATEWORLD_H

#include "erosion/erosion.h"
#include "erosion/plates.h"
#include "generator/worldgen.h"
#include "world/progress.h"
#include "world/status.h"
#include "world/world.h"

#include <vector>

struct PlateWorldOptions
{
    int plates = defaultPlateCount; // minPlateCount .. maxPlateCount
    ErosionOptions erosion;         // its progress is ignored: progress below
    ProgressPart progress;
};

// Sets the plate count from its option's text (empty: the default), or says
// in one usage line that it is not a whole number in range.
Status readPlateCount(const QString &text, PlateWorldOptions *options);

// The world of recipe (its subdivision, seed and demo flag; its terrain is
// ignored) with plate-made levels; with boundaries, the plate boundaries
// too, and with heights the metres its levels stand for (erosion.h). The
// same recipe and options give the same world, byte for byte.
World generatePlateWorld(const WorldRecipe &recipe, const PlateWorldOptions &options,
                         std::vector<BoundaryLine> *boundaries = nullptr,
                         LevelHeights *heights = nullptr);

#endif
