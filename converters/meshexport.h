// The drawn globe as 3D files for other programs: glTF (Blender, engines,
// viewers), STL and 3MF (printing), PLY (MeshLab) and OBJ.
//
// Every format holds the drawn mesh as it is: one vertex per world vertex,
// the files' triangles counter-clockwise seen from outside. Positions are
// turned into the up-axis convention of each format's users (UpAxis below)
// by a proper rotation, so the winding stays counter-clockwise.
//
// PLY: binary little-endian; per vertex float x, y, z, uchar red, green, blue
// (the editor's 8-bit sRGB colour), uchar level (0 to 9, or 255 for a level
// outside 0..9, which the editor draws black on the base sphere) and float
// quality (the level as given, for MeshLab's per-vertex scalar); per face a
// list of three int corners, A, B, C.
//
// OBJ: "v x y z r g b" with sRGB colours from 0 to 1, then "f a b c" (1-based).
//
// glTF (gltfexport.h), STL and 3MF (printexport.h) are described there.
#ifndef MESHEXPORT_H
#define MESHEXPORT_H

#include "converters/drawnmesh.h"

#include <QByteArray>
#include <QString>

enum class MeshFormat { Glb, Gltf, Stl, ThreeMf, Ply, Obj };

// The format a file's extension names, case-insensitively: .glb, .gltf,
// .stl, .3mf, .ply or .obj. False for any other name.
bool meshFormatOf(const QString &path, MeshFormat *format);

// The extensions meshFormatOf knows, for messages: ".glb, .gltf, ... or .obj".
QString meshExtensions();

// Which model axis points up. Z is the editor's own frame (the north pole on
// +z). Y turns it into the convention of glTF and of most OBJ importers: the
// pole on +Y, the start view's front (the editor's -y, longitude 0) on +Z and
// east (the editor's +x) on +X, that is (X, Y, Z) = (x, z, -y).
enum class UpAxis { Y, Z };

struct MeshExportOptions
{
    // The up axis of OBJ, PLY and STL; unset, each format's usual one: Y for
    // OBJ, Z for PLY and STL. glTF is always Y up and 3MF always Z up, as
    // their formats define.
    bool upGiven = false;
    UpAxis up = UpAxis::Z;
    // STL and 3MF: the diameter of the base sphere (radius 0.85, where the
    // sea lies) in millimetres, so that one model unit is diameterMm / 1.7 mm.
    double diameterMm = 100;
};

// The file for one format. False, with *error set to one line, only when a
// format library fails.
bool encodeMesh(const DrawnMesh &mesh, MeshFormat format, const MeshExportOptions &options,
                QByteArray *bytes, QString *error);

// The up axis the options give a format.
UpAxis upAxisOf(MeshFormat format, const MeshExportOptions &options);

// Every vertex's position in the frame of up, times scale: x, y, z per vertex.
QVector<float> framedPositions(const DrawnMesh &mesh, UpAxis up, double scale = 1.0);

// The value of the PLY level property for a level outside 0..9.
const unsigned char plyUnknownLevel = 255;

QByteArray encodePly(const DrawnMesh &mesh, UpAxis up);
QByteArray encodeObj(const DrawnMesh &mesh, UpAxis up);

#endif
