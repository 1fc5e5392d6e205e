// The drawn globe as glTF 2.0, written with tinygltf.
//
// One mesh of indexed triangles, one vertex per world vertex, in glTF's own
// frame (Y up: the pole on +Y, longitude 0 on +Z, east on +X) written into
// the vertex data itself, in the editor's model units:
//   POSITION  float VEC3, with its bounds
//   COLOR_0   float VEC3: the level colour in linear light, as glTF defines
//             it (the editor's colours are sRGB values)
//   _LEVEL    float SCALAR: the level as given, possibly outside 0..9
//   indices   unsigned int, A, B, C per triangle, counter-clockwise seen
//             from outside
// Its one material is unlit (KHR_materials_unlit, as the editor draws), with
// a matte white fallback for viewers that light it.
#ifndef GLTFEXPORT_H
#define GLTFEXPORT_H

#include "meshes/drawnmesh.h"
#include "world/status.h"

#include <QByteArray>
#include <QString>

// binary: a .glb file; otherwise a .gltf file with its buffer inside it (a
// base64 data URI). Not written, naming path (the file the bytes are for),
// when tinygltf fails.
Status encodeGltf(const DrawnMesh &mesh, bool binary, const QString &path, QByteArray *bytes);

// A colour channel from sRGB-encoded (0 to 1) to linear light (0 to 1).
float linearFromSrgb(float c);

#endif
