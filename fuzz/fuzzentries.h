// What the fuzzers feed to the program, kept apart from libFuzzer so that the
// unit tests replay every saved input through the very same paths.
//
// Each check takes raw bytes and returns one line per promise the code broke
// on them; empty when every promise held. Memory errors and undefined
// behaviour are left to the sanitizers of the build that runs it.
#ifndef FUZZENTRIES_H
#define FUZZENTRIES_H

#include "generator/worldgen.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

// A world input is six parts joined by this separator, in file order:
// base001.dat to base005.dat, then demo.txt. Missing parts are empty files.
extern const QByteArray worldPartSeparator;
const int worldPartCount = 6;

// At most worldPartCount parts: the last one keeps any further separators.
QVector<QByteArray> splitWorldInput(const QByteArray &input);
QByteArray joinWorldInput(const QVector<QByteArray> &parts);

// Decodes the five tables, reads the demo flag from a file, applies the demo
// terrain and checks the world as the editor's loader does. A world the
// checker accepts then goes through what the editor and globe-world do with
// it short of GL: every table index they derive, the level rules at the
// world's subdivision, the mesh check and the summary.
QStringList checkWorldInput(const QByteArray &input);

// The world that save inputs are restored into, generated once per process.
extern const WorldRecipe saveInputWorld;

// Writes the bytes as "save.dat" beside saveInputWorld and restores from it
// (F10 without the GL part): the levels change exactly when the file is a
// complete table of one level per vertex, and a refusal names save.dat.
QStringList checkSaveInput(const QByteArray &input);

// Imports the bytes as relief rasters (any format GDAL reads, decoded from
// memory) into a subdivision-2 world over its own levels, as `globe-world
// import` does short of writing base002.dat. The first byte picks the level
// scale: bit 0 a sea level of (signed) byte 1 times 10, bit 1 a peak byte 2
// + 1 above it, bit 2 no-data as sea; the rasters' bytes follow, up to
// maxFuzzRasters of them joined by rasterPartSeparator, applied in order.
// The import either gives every vertex a level from 0 to 9, leaving the
// levels as they were when no raster reached a vertex, or refuses with one
// line naming a file and changes nothing. Rasters of more than
// rasterFuzzSamples samples are only opened: reading one takes seconds, and
// the refusal of larger claims is tested on its own.
const qint64 rasterFuzzSamples = qint64(1) << 20;
extern const QByteArray rasterPartSeparator;
const int maxFuzzRasters = 3;
QVector<QByteArray> splitRasterInput(const QByteArray &rasters);
QStringList checkRasterInput(const QByteArray &input);

// Writes a raster and its side files into a folder on disk and opens the
// raster through openRaster, as the import does, then asks for what GDAL
// finds beside it (overviews, masks, the files it read). The input is
// parts joined by rasterPartSeparator: the first part's first byte picks
// the raster's name among doorRasterNames, the rest is its bytes; each
// further part's first byte picks a side file's name among doorSideNames
// (the raster's name with that ending) and makes it a regular file of the
// part's other bytes, a FIFO (bit 6) or a link to a FIFO outside the folder
// (bit 7). Opening never hangs (libFuzzer's timeout is the judge), and
// either gives a dataset or refuses in one line that names the raster.
extern const QStringList doorRasterNames, doorSideNames;
QStringList checkDoorInput(const QByteArray &input);

#endif
