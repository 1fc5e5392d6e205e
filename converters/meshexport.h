// The drawn globe as mesh files for other programs (MeshLab, Blender).
//
// PLY: binary little-endian; per vertex float x, y, z, uchar red, green, blue
// (the editor's 8-bit sRGB colour) and uchar level (0 to 9, or 255 for a
// level outside 0..9, which the editor draws black on the base sphere); per
// face a list of three int corners, A, B, C, counter-clockwise from outside.
//
// OBJ: "v x y z r g b" with colours from 0 to 1, then "f a b c" (1-based).
#ifndef MESHEXPORT_H
#define MESHEXPORT_H

#include "converters/drawnmesh.h"

#include <QByteArray>

// The value of the PLY level property for a level outside 0..9.
const unsigned char plyUnknownLevel = 255;

QByteArray plyHeader(int vertexCount, int triangleCount);
QByteArray encodePly(const DrawnMesh &mesh);
QByteArray encodeObj(const DrawnMesh &mesh);

#endif
