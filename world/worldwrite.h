// Writing a whole world: the five table files and demo.txt.
#ifndef WORLDWRITE_H
#define WORLDWRITE_H

#include "world/status.h"
#include "world/world.h"

#include <QString>

// Writes the world's tables and demo flag into the folder dir, creating it
// when needed: all six files or none (writeFilesAtomically), so that a
// failure (a full disk) leaves the world that was there whole. A failure
// names the file and the system's reason.
Status writeWorld(const QString &dir, const World &world);

#endif
