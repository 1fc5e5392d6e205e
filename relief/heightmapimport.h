// Starting levels from relief rasters (reliefraster.h), in the map
// convention (worldmap.h).
//
// Each raster is read into a longitude/latitude grid at the resolution the
// world needs, and each vertex whose share of the sphere holds samples with
// data takes their mean, each weighted by its area (vertexsampler.h). The
// mean becomes a level:
// - with a sea level S: S and below is sea, level 0; above it, up to the
//   peak P, land spreads over levels 1..9 in nine steps of equal width, and
//   above P is 9. P is by default the highest vertex mean, so that level 9
//   is reached;
// - without one, the whole range (0..255 or 0..65535 for 8- and 16-bit
//   unsigned samples, else the data's lowest to highest sample as read) in
//   ten steps of equal width, 0 to 9 (levelInRange), the inverse of
//   heightValue;
// - with a sea level and equalArea: land over levels 1..9 in bands of equal
//   area (levelscale.h), measured over the vertices' final means.
// A vertex whose share lies on a raster but holds only no-data keeps its
// level (or becomes sea, with noDataIsSea); a vertex beyond every raster
// keeps its level exactly. Several rasters are applied in order, later ones
// over earlier ones, on one scale.
#ifndef HEIGHTMAPIMPORT_H
#define HEIGHTMAPIMPORT_H

#include "meshes/drawnmesh.h"
#include "relief/levelscale.h"
#include "world/progress.h"
#include "world/status.h"
#include "world/world.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <array>

// What the import found in one raster, for the user.
struct RasterSummary
{
    QString path;
    QString subdataset;        // the variable picked in a file of several, by GDAL's name
    int width = 0, height = 0; // samples in the file
    bool gridRegistered = false;
    bool georeferenced = false, warped = false;
    int gridWidth = 0, gridRows = 0;    // the longitude/latitude grid it was read into
    double lowest = 0, highest = 0;     // valid samples as read
    double rangeLow = 0, rangeHigh = 0; // sea level and peak, or the range cut in ten
    int vertices = 0;                   // of the world
    int took = 0, noData = 0;           // vertices that took levels, that had only no-data
};

struct ImportSummary
{
    QVector<RasterSummary> rasters; // in the order applied
    double rangeLow = 0, rangeHigh = 0;
    AreaBands bands; // with equalArea: where each land level starts
    // For each level 0..9, the vertices that took it from a raster's data:
    // the mean of their means weighted by their share of the sphere (in the
    // raster's units), and that share (steradians; 0: no such vertex).
    std::array<double, 10> levelMean{}, levelArea{};
    // Samples below zero were read and no sea level was given.
    bool belowZeroWithoutSeaLevel = false;
};

// The columns of the grid a world of mesh's size needs: 32 x 2^S, about 30
// samples in every vertex's share (the equator's; more towards the poles).
int wantedGridWidth(const DrawnMesh &mesh);

// Applies the rasters in order to levels, which hold the mesh's vertex
// levels before the import; refused, with one line naming the file, when a
// raster cannot be used (levels then as they were). progress runs from 0 to
// 1 across all rasters, after each strip of rows.
Status applyRasters(const QStringList &paths, const DrawnMesh &mesh, const LevelScale &scale,
                    QVector<int> &levels, ImportSummary *summary,
                    const ProgressPart &progress = {});

// One raster over a world of level 0 everywhere: the level of every vertex
// of mesh from the raster at path.
Status levelsFromRaster(const QString &path, const DrawnMesh &mesh, const LevelScale &scale,
                        QVector<int> &levels, RasterSummary *summary);

struct ImportOptions
{
    QStringList rasters; // the relief files, applied in order
    LevelScale scale;
    ProgressPart progress;
};

// The import command: sets the starting levels of the world that was loaded
// from dir (as the editor starts it: the samples fall on the globe it draws)
// from the rasters over the levels base002.dat holds, keeping the old
// base002.dat as base002.dat.bak (replacing an older copy): both files are
// written whole, or neither, and base002.dat is read once.
Status importRelief(const QString &dir, const World &world, const ImportOptions &options,
                    ImportSummary *summary);

#endif
