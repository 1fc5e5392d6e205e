// The climate command's files: a world's climate (climate/) as GIS layers
// and a table, by the extension of each name (in any case):
//
// - FILE.tif: a GeoTIFF in EPSG:4326, W x W/2 pixels, every pixel the
//   vertex it belongs to as the maps draw it (MeshRaster::ownersOfRow), five
//   Float32 bands: 1 the Köppen code (climate/koppen.h, 0 the sea) with
//   its category names ("sea", "Af", ...) in FILE.tif.aux.xml beside it,
//   2 the annual mean temperature (°C), 3 the annual precipitation (mm),
//   4 the warmest and 5 the coldest month's mean (°C);
// - FILE.gpkg (layer "koppen") or FILE.geojson: one MultiPolygon per Köppen
//   class present on land, fields koppen ("Cfb"), group ("C") and area_km2
//   (the class's vertices' cells on a sphere of 6371 km). The polygons are
//   GDAL's polygonization of band 1 at the same width (linear in the
//   pixels), cut at the antimeridian by the grid's edges;
// - FILE.csv: one row per vertex: lon, lat (degrees), level, height_m,
//   T01..T12 (°C), P01..P12 (mm), koppen (empty on the sea), biome
//   (climate/biome.h's names, "ocean" on the sea).
//
// Every file is written, with the .aux.xml, all or none
// (writeFilesAtomically). The same world gives the same bytes.
#ifndef CLIMATEFILES_H
#define CLIMATEFILES_H

#include "climate/climatemodel.h"
#include "world/levelheights.h"
#include "world/optiontexts.h"
#include "world/status.h"
#include "world/world.h"

#include <QString>
#include <QStringList>

enum class ClimateFormat { GeoTiff, GeoPackage, GeoJson, Csv };

// The format the name's extension asks for; false for any other.
bool climateFormatOf(const QString &path, ClimateFormat *format);

struct ClimateOptions
{
    QStringList outs; // in the order given
    int width = 2048; // the GeoTIFF's and the zones' grid: even, 2 .. 16384
    // The metres levels 1..9 stand for: --heights, --peak, else the world's
    // heights.txt (climateHeights), else defaultLevelHeights().
    LevelHeights heights = defaultLevelHeights();
    bool heightsGiven = false; // by --heights or --peak
};

// Unless options->heightsGiven, the heights dir's heights.txt records, or
// the default for a world without it; refused when the file is broken.
Status climateHeights(const QString &dir, ClimateOptions *options);

// The climate command's options as typed: --out (at least one), --heights
// H1,...,H9 (nine finite metres rising from above 0, heightsFault) or --peak M (above
// 0: heightsFromPeak), --width W; a usage error naming the option otherwise.
Status checkClimateOptions(const OptionTexts &given, ClimateOptions *options);

// What was computed, for the user: the land's share of each main group.
struct ClimateReport
{
    double landKm2 = 0;
    double groupShare[5] = {}; // A, B, C, D, E, of the land's area
};

// The land's area (km²) and its main groups' shares, from the vertices' cells.
ClimateReport climateShares(const SphereGraph &graph, const Climate &climate);

// Writes every file of options.outs after checking every name and folder,
// so that a mistake leaves no file.
Status writeClimateFiles(const World &world, const ClimateOptions &options, ClimateReport *report);

#endif
