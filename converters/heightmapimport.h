// Starting levels from a relief raster (reliefraster.h), in the map
// convention (worldmap.h).
//
// Each vertex takes the mean of the samples of its share of the sphere, each
// weighted by its area (vertexsampler.h), and the mean becomes a level:
// - with a sea level S: S and below is sea, level 0; above it, up to the
//   peak P, land spreads over levels 1..9 in nine steps of equal width, and
//   above P is 9. P is by default the raster's highest sample;
// - without one, the whole range (0..255 or 0..65535 for 8- and 16-bit
//   unsigned samples, else the data's lowest to highest sample) in ten steps
//   of equal width, 0 to 9 (levelInRange), the inverse of heightValue.
// A vertex with no data anywhere in its share, nor under it, is sea.
#ifndef HEIGHTMAPIMPORT_H
#define HEIGHTMAPIMPORT_H

#include "converters/drawnmesh.h"
#include "world/status.h"
#include "world/world.h"

#include <QString>
#include <QVector>

struct LevelScale
{
    bool hasSeaLevel = false;
    double seaLevel = 0; // in the raster's units
    bool hasPeak = false;
    double peak = 0; // above seaLevel
};

// What the import found, for the user.
struct RasterSummary
{
    int width = 0, height = 0; // samples in the file
    bool gridRegistered = false;
    double lowest = 0, highest = 0;     // valid samples
    double rangeLow = 0, rangeHigh = 0; // sea level and peak, or the range cut in ten
};

// The level of every vertex of mesh from the raster at path; refused, with
// one line naming the file, when the raster cannot be used.
Status levelsFromRaster(const QString &path, const DrawnMesh &mesh, const LevelScale &scale,
                        QVector<int> &levels, RasterSummary *summary);

extern const char *const levelsBackupSuffix; // ".bak"

// Replaces the first levels.size() entries of dir's base002.dat, after copying
// the old file to base002.dat.bak (replacing an older copy). Both files are
// written whole or not at all; on failure base002.dat is as it was.
Status writeStartingLevels(const QString &dir, const QVector<int> &levels);

struct ImportOptions
{
    QString raster; // the relief file
    LevelScale scale;
};

// The import command: sets the starting levels of the world that was loaded
// from dir (as the editor starts it: the samples fall on the globe it draws)
// from the raster, keeping the old base002.dat as base002.dat.bak.
Status importRelief(const QString &dir, const World &world, const ImportOptions &options,
                    RasterSummary *summary);

#endif
