// The generate command's work: a new world made from a recipe and written
// into a folder, all of it or nothing, in one call.
#ifndef NEWWORLD_H
#define NEWWORLD_H

#include "erosion/plateworld.h"
#include "generator/worldgen.h"
#include "world/optiontexts.h"
#include "world/progress.h"
#include "world/status.h"

#include <QString>

struct NewWorldOptions
{
    QString dir; // created when needed
    WorldRecipe recipe;
    // The real Earth: a flat world whose levels come from the built-in
    // relief (earthrelief.h); subdivision 6 unless one was given.
    bool earth = false;
    // Plate tectonics and erosion (erosion/plateworld.h), the plates'
    // boundaries written to boundaries (maps/boundaryfiles.h) when it is
    // not empty.
    bool plates = false;
    PlateWorldOptions plateWorld;
    QString boundaries;
    // A world dir holds already is replaced only when the user says so.
    bool overwrite = false;
};

const int earthSubdivision = 6;

// What was made, for the user.
struct NewWorldReport
{
    int vertices = 0, triangles = 0;
    // The save.dat kept from the replaced world when it does not fit the new
    // one ("save.dat: ... (kept: ...)"), else empty.
    QString staleSave;
};

// The generate command's options from their texts: subdivision, terrain,
// seed, plates, boundaries (its name's extension checked), demo and
// overwrite; a usage error echoing the value as typed.
Status checkNewWorldOptions(const OptionTexts &given, NewWorldOptions *options);

// Generates the world and writes it into options.dir (writeWorld: every
// file or none), then the boundaries' file. Refused, writing nothing, when dir holds a world and
// overwrite is not set. progress runs from 0 to 1 over the steps.
Status makeWorld(const NewWorldOptions &options, NewWorldReport *report,
                 const ProgressPart &progress = {});

#endif
