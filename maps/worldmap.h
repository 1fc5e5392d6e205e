// Equirectangular maps of the drawn globe, in the geography convention that
// the maps and the raster import share.
//
// A vertex with polar angle theta and azimuth phi (base003.dat) lies at
// longitude lambda = pi - phi, wrapped to [-180, 180) degrees, and latitude
// 90 degrees - theta: the azimuth turns clockwise about the north pole seen
// from outside, which is towards the west, and the start view faces
// lambda = 0. A map is W x H pixels with W = 2H; pixel (x, y) covers the
// longitudes [360 x / W - 180, 360 (x + 1) / W - 180) and the latitudes
// from 90 - 180 y / H down to 90 - 180 (y + 1) / H degrees, so north is up,
// east is to the right and the centre is what the start view faces. A pixel
// shows the globe at its centre (MeshRaster with SampleGrid{W, H}).
#ifndef WORLDMAP_H
#define WORLDMAP_H

#include "maps/meshraster.h"
#include "meshes/drawnmesh.h"
#include "world/progress.h"

#include <QImage>
#include <QPoint>

#include <functional>
#include <vector>

const int defaultMapWidth = 2048;
const int maxMapWidth = 16384;

// The pixel of a W-wide map whose area holds the direction (theta, phi): the
// polar angle is clamped to [0, pi], the azimuth taken modulo 2 pi.
QPoint pixelOf(double theta, double phi, int width);

// The colour a map shows in a direction: the corner colours of the triangle
// under it blended by their weights at the point where the direction meets
// the flat triangle, as the editor's smooth shading blends them, then
// round(c * 255) per channel.
class ShadedColours
{
public:
    explicit ShadedColours(const DrawnMesh &mesh);
    // t and weights from MeshRaster::locate, t >= 0.
    void blend(const MeshRaster &raster, int t, const double weights[3], uchar rgb[3]) const;

private:
    std::vector<float> colours; // r, g, b per vertex, 0 to 1
};

// The colour map (RGB, 8 bits per channel): each pixel the colour the editor
// shows where the pixel centre's direction meets the globe, the corner
// colours blended by their weights at that point of the flat triangle, as
// the editor's smooth shading blends them. A pixel no triangle covers (a
// hole in a hand-made world) is black.
// progress follows the rows. rowsReady, if given, is called in the calling
// thread with rows y0 to y1 - 1 as soon as they and every row above them
// are drawn, top to bottom, while the rows below are drawn in other
// threads: so a writer can take them as they come.
using RowsReady = std::function<void(const QImage &image, int y0, int y1)>;
QImage renderColourMap(const DrawnMesh &mesh, int width, const ProgressPart &progress = {},
                       const RowsReady &rowsReady = {});

// The 16-bit heightmap: each pixel heightValue of the level of the vertex
// the pixel belongs to (MeshRaster::ownersOfRow: the nearest corner, and
// every vertex's own pixel its own), so that importing the map gives every
// vertex its level back. *unrestorable counts the vertices an import of the
// map would not restore (none at the default width up to subdivision 8).
QImage renderHeightmap(const DrawnMesh &mesh, int width, int *unrestorable = nullptr,
                       const ProgressPart &progress = {});

// The value of a heightmap's pixel that belongs to vertex (-1 under a hole:
// 0, as sea).
quint16 heightOf(const DrawnMesh &mesh, int vertex);

// Level L from 0 to 9 as a 16-bit grey value: round(L * 65535 / 9). Levels
// outside 0..9 lie on the base sphere like level 0 and map to 0.
quint16 heightValue(int level);

// The range lowest..highest cut into ten steps of equal width, level 0 to 9;
// values beyond the range go to the end levels. Its inverse on 0..65535 is
// heightValue.
int levelInRange(double value, double lowest, double highest);

#endif
