// The drawn globe as a solid to print, in millimetres.
//
// The drawn mesh is closed (every edge in exactly two triangles) and its
// triangles are counter-clockwise seen from outside, so it bounds a solid as
// it is. Positions are scaled so that the base sphere (where the sea lies)
// is diameterMm across (millimetresPerUnit); the mountains stand out from it.
//
// STL: binary, an 80-byte header, the facet count, then per facet the unit
// outward normal and the three corners (floats, millimetres) and a zero
// attribute word. Written here: the format is a few fixed records.
//
// 3MF: written with lib3mf, unit millimetre, Z up as the format defines:
// one mesh object with the level colours (sRGB, as 3MF defines its colours)
// on each triangle's three corners, and one build item (the halves: one
// object and build item each).
#ifndef PRINTEXPORT_H
#define PRINTEXPORT_H

#include "meshes/drawnmesh.h"
#include "meshes/meshframe.h"
#include "world/progress.h"
#include "world/status.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// Twice the distance of the farthest corner from the centre, in
// millimetres: how wide the print is across its highest peaks.
double peakDiameterMm(const DrawnMesh &mesh, double diameterMm);

QByteArray encodeStl(const DrawnMesh &mesh, UpAxis up, double diameterMm);

// Not written, naming path (the file the bytes are for), when lib3mf fails.
// progress follows lib3mf's writing of the package.
Status encode3mf(const DrawnMesh &mesh, double diameterMm, const QString &path, QByteArray *bytes,
                 const ProgressPart &progress = {});

// The 3MF of several solids on one plate, each an object of its own name
// with its build item, in the order given; positions in model units, laid
// out by the caller. Not written, naming path, as encode3mf.
struct PrintObject
{
    const char *name;
    const DrawnMesh *mesh;
};
Status encode3mfObjects(const QVector<PrintObject> &objects, double diameterMm, const QString &path,
                        QByteArray *bytes, const ProgressPart &progress = {});

#endif
