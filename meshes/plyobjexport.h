// The drawn globe as PLY (MeshLab) and OBJ: one vertex per world vertex, the
// triangles A, B, C, counter-clockwise seen from outside.
//
// PLY: binary little-endian; per vertex float x, y, z, uchar red, green, blue
// (the editor's 8-bit sRGB colour), uchar level (0 to 9, or 255 for a level
// outside 0..9, which the editor draws black on the base sphere) and float
// quality (the level as given, for MeshLab's per-vertex scalar); per face a
// list of three int corners, A, B, C.
//
// OBJ: "v x y z r g b" with sRGB colours from 0 to 1, then "f a b c" (1-based).
#ifndef PLYOBJEXPORT_H
#define PLYOBJEXPORT_H

#include "meshes/drawnmesh.h"
#include "meshes/meshframe.h"

#include <QByteArray>

// The value of the PLY level property for a level outside 0..9.
const unsigned char plyUnknownLevel = 255;

QByteArray encodePly(const DrawnMesh &mesh, UpAxis up);
QByteArray encodeObj(const DrawnMesh &mesh, UpAxis up);

#endif
