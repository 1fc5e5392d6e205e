// Writing a whole world: the five table files and demo.txt.
#ifndef WORLDWRITE_H
#define WORLDWRITE_H

#include "world/status.h"
#include "world/world.h"

#include <QString>

// Writes the world's tables and demo flag into the folder dir, creating it
// when needed. Each file is replaced whole or not at all; a failure names
// the file.
Status writeWorld(const QString &dir, const World &world);

#endif
