// The drawn globe as one web page that a browser opens from disk with no
// network at all: three.js (Debian's libjs-three, embedded whole with its
// licence) draws the mesh, embedded in the page, unlit in the level colours
// on the editor's white background, which is no level's colour.
//
// The mesh is the drawn mesh in glTF's frame (meshframe.h, Y up, longitude
// 0 facing the viewer) as one zlib stream in base64, which the page unpacks
// with the browser's DecompressionStream: two uint32 counts (vertices,
// triangles), float32 positions (x, y, z per vertex), uint32 corners (A, B,
// C per triangle, counter-clockwise seen from outside), then one byte per
// vertex, its shown level (shownLevel), 10 outside 0..9; little-endian. The
// page names no other file or address: the only scheme texts in it are
// names three.js uses inside the page (XHTML's namespace, a shader
// comment's citation).
//
// The first view is the editor's start view, orthographic: pole up, facing
// longitude 0, the sea sphere 0.85 of the view's half height. A drag turns
// the globe with the cursor, the wheel turned away zooms in (1.1 times a
// step); nothing moves or is redrawn otherwise.
#ifndef WEBPAGE_H
#define WEBPAGE_H

#include "meshes/drawnmesh.h"
#include "world/status.h"

#include <QByteArray>
#include <QString>

// title names the world (any text: it is escaped for HTML). Refused,
// naming path (the file the bytes are for), when the embedded viewer is
// missing from the program.
Status encodeWebPage(const DrawnMesh &mesh, const QString &title, const QString &path,
                     QByteArray *bytes);

#endif
