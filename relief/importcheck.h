// The import command's options read and checked where the import is made,
// from the texts the user typed (optiontexts.h), so that a test or a bench
// meets the same refusals as the command line.
#ifndef IMPORTCHECK_H
#define IMPORTCHECK_H

#include "relief/heightmapimport.h"
#include "world/optiontexts.h"
#include "world/status.h"

// Fills *options from given: heightmap (required, in order), sea-level,
// peak, scale and no-data-is-sea. A usage error names the option and
// echoes its value as typed (shown escaped).
Status checkImportOptions(const OptionTexts &given, ImportOptions *options);

#endif
