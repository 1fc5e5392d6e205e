// The frame every 3D file is written in: which axis points up, and how many
// of the file's units make one model unit.
//
// Positions are turned into the up-axis convention of each format's users by
// a proper rotation, so the triangles stay counter-clockwise seen from
// outside.
#ifndef MESHFRAME_H
#define MESHFRAME_H

#include "meshes/drawnmesh.h"
#include "terrain/vec3.h"

#include <QString>
#include <QVector>

// Which model axis points up. Z is the editor's own frame (the north pole on
// +z). Y turns it into the convention of glTF and of most OBJ importers: the
// pole on +Y, the start view's front (the editor's -y, longitude 0) on +Z and
// east (the editor's +x) on +X, that is (X, Y, Z) = (x, z, -y).
enum class UpAxis { Y, Z };

// "Y" or "Z", for the files' own headers.
QString upAxisName(UpAxis up);

// Every vertex's position in the frame of up, times scale: x, y, z per vertex.
QVector<float> framedPositions(const DrawnMesh &mesh, UpAxis up, double scale = 1.0);

// A direction given in the Y-up frame, back in the editor's: (x, y, z) =
// (X, -Z, Y).
Vec3 modelFromYUp(const Vec3 &framed);

// Millimetres per model unit when the base sphere (where the sea lies) is
// diameterMm across.
double millimetresPerUnit(double diameterMm);

#endif
