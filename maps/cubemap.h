// Cube maps of the drawn globe, for planet renderers and game engines: six
// square faces with no pole pinch, in OpenGL's cube-map face table (GL 4.6,
// table 8.19), in the frame of the glTF export (meshframe.h, Y up): the pole
// on +Y, longitude 0 on +Z, east on +X.
//
// Pixel column i, row j counted from the top, of a face N pixels square, is
// s = (i + 0.5) / N, t = (j + 0.5) / N of its face. With sc = 2s - 1 and
// tc = 2t - 1, it looks along
//   +X: ( 1, -tc, -sc)    -X: (-1, -tc,  sc)
//   +Y: (sc,   1,  tc)    -Y: (sc,  -1, -tc)
//   +Z: (sc, -tc,   1)    -Z: (-sc, -tc, -1)
// which is the direction a reader of that table looks up to reach the pixel,
// the image's top row being t = 0. Each pixel shows what the equirectangular
// map (worldmap.h) shows in its direction: the editor's blended colours, or
// for a heightmap the level of the nearest corner of the triangle under it.
#ifndef CUBEMAP_H
#define CUBEMAP_H

#include "meshes/drawnmesh.h"
#include "terrain/vec3.h"
#include "world/progress.h"

#include <QImage>
#include <QVector>

// The faces in the table's order: +X, -X, +Y, -Y, +Z, -Z.
const int cubeFaces = 6;

// "px", "nx", "py", "ny", "pz", "nz": face's part of its file name.
const char *cubeFaceName(int face);

// The direction of pixel (i, j) of face, N pixels square, in the Y-up frame
// (not of unit length).
Vec3 cubeFaceDirection(int face, int i, int j, int size);

// The table's inverse: (sc, tc) where the direction d (Y-up frame, any
// length) meets face's plane; false when d's part along the face's axis is
// below minAxis (0: d points away from the face).
bool cubeFaceCoordinates(int face, const Vec3 &d, double minAxis, double *sc, double *tc);

// The six faces, size x size each: the colour map's RGB888 or, for a
// heightmap, Grayscale16 with the heightmap's values. progress follows the
// faces.
QVector<QImage> renderCubeFaces(const DrawnMesh &mesh, int size, bool heightmap,
                                const ProgressPart &progress = {});

#endif
