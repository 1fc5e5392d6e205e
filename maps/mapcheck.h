// The map command's options read and checked where maps are made, from the
// texts the user typed (optiontexts.h), so that a test or a bench meets
// the same refusals as the command line.
#ifndef MAPCHECK_H
#define MAPCHECK_H

#include "maps/mapoptions.h"
#include "world/optiontexts.h"
#include "world/status.h"

// Fills *options from given: out (or its synonym png), projection, width,
// center, graticule, heightmap, rivers, min-area and, for a turntable,
// frames (its width then defaults to defaultTurntableWidth). A usage error names the option
// and echoes its value as typed (shown escaped).
Status checkMapOptions(const OptionTexts &given, MapOptions *options);

#endif
