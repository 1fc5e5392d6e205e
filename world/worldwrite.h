// Writing a whole world: the five table files and demo.txt.
#ifndef WORLDWRITE_H
#define WORLDWRITE_H

#include "world/status.h"
#include "world/world.h"

#include <QString>
#include <QStringList>

// Writes the world's tables and demo flag into the folder dir, creating it
// when needed: all six files or none (writeFilesAtomically), so that a
// failure (a full disk) leaves the world that was there whole. A failure
// names the file and the system's reason.
Status writeWorld(const QString &dir, const World &world);

// The world files dir holds, by name: the five tables, demo.txt and
// save.dat, whatever each is (a link or a folder by such a name counts, as
// a write would replace it). Empty for an empty or new folder.
QStringList worldFilesIn(const QString &dir);

#endif
