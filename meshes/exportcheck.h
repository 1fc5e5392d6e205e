// The export command's options read and checked where the meshes are
// written, from the texts the user typed (optiontexts.h), so that a test
// or a bench meets the same refusals as the command line.
#ifndef EXPORTCHECK_H
#define EXPORTCHECK_H

#include "meshes/meshfiles.h"
#include "world/optiontexts.h"
#include "world/status.h"

// Fills *options from given: the outputs (out, ply, obj, in that order),
// up, diameter, relief, halves, pins, filaments or filament-levels, and
// rivers. A usage error names the option and echoes its value as typed
// (shown escaped); whether pin holes fit is known only once the globe is
// built (exportMesh).
Status checkExportOptions(const OptionTexts &given, ExportOptions *options);

#endif
