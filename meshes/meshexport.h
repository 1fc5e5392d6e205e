// The drawn globe as 3D files for other programs: glTF (Blender, engines,
// viewers), STL and 3MF (printing), PLY (MeshLab) and OBJ, chosen by a file's
// extension; and a web page anyone can open (webpage.h).
//
// Every format holds the drawn mesh as it is: one vertex per world vertex,
// the files' triangles counter-clockwise seen from outside, in the frame of
// meshframe.h. Each format is described with its encoder: PLY and OBJ in
// plyobjexport.h, glTF in gltfexport.h, STL and 3MF in printexport.h.
#ifndef MESHEXPORT_H
#define MESHEXPORT_H

#include "meshes/drawnmesh.h"
#include "meshes/filamentpaint.h"
#include "meshes/meshframe.h"
#include "world/progress.h"
#include "world/status.h"

#include <QByteArray>
#include <QString>

enum class MeshFormat { Glb, Gltf, Stl, ThreeMf, Ply, Obj, Html };

// The format a file's extension names, case-insensitively: .glb, .gltf,
// .stl, .3mf, .ply, .obj or .html (a web page, webpage.h). False for any other name.
bool meshFormatOf(const QString &path, MeshFormat *format);

// The extensions meshFormatOf knows, for messages: ".glb, .gltf, ... or .obj".
QString meshExtensions();

struct MeshExportOptions
{
    // The up axis of OBJ, PLY and STL; unset, each format's usual one: Y for
    // OBJ, Z for PLY and STL. glTF is always Y up and 3MF always Z up, as
    // their formats define.
    bool upGiven = false;
    UpAxis up = UpAxis::Z;
    // STL and 3MF: the diameter of the base sphere (where the sea lies) in
    // millimetres; one model unit is millimetresPerUnit(diameterMm) mm.
    double diameterMm = 100;
    // How far level 9 stands above the base sphere, as a share of its
    // radius (linear in the level, setRelief in drawnmesh.h); below 0, the
    // editor's heights.
    double reliefShare = -1;
    // STL and 3MF: the globe cut into two halves laid on the bed
    // (printhalves.h), with holes for pins pinDiameterMm across (0: none).
    bool halves = false;
    double pinDiameterMm = 0;
    // 3MF: each triangle painted with its levels' filament (filamentpaint.h).
    FilamentLevels filaments;
    // Rivers and lakes in the colour of water, where a format carries colours.
    bool rivers = false;
    // The world's name, for a web page's title.
    QString title;
};

// The diameters a print may have: from a micrometre (below it, float
// positions crowd together and normals come out NaN) up to a kilometre (far
// beyond any printer, well within a float).
const double minDiameterMm = 1e-3;
const double maxDiameterMm = 1e6;

// The bytes of path in one format. Not written, naming path, only when a
// format library fails. progress follows the encoding where its library
// reports it (3MF); the others are quick.
Status encodeMesh(const DrawnMesh &mesh, MeshFormat format, const MeshExportOptions &options,
                  const QString &path, QByteArray *bytes, const ProgressPart &progress = {});

// The up axis the options give a format.
UpAxis upAxisOf(MeshFormat format, const MeshExportOptions &options);

#endif
