// The globe as two hemispheres to print without supports: cut through the
// equator (the plane z = 0 of the editor's frame, whose +z is the north
// pole), each half closed by its flat cut face and laid on the bed.
//
// The frame of the halves is the printer's, in millimetres, Z up: each half
// lies cut face down on z = 0, the north half at negative x and the south
// half at positive x, both centred on y = 0, with a gap between them. The
// north half is only moved; the south half is first turned half a turn about
// the x axis, (x, y, z) -> (x, -y, -z), so that its cut face lies down too.
// Turning it back over onto the north half puts every point of its cut face
// on the same point of the north half's.
//
// Pin holes: three blind holes in each cut face, at the same places once the
// halves are joined, each pinDiameterMm + pinClearanceMm across and
// pinDepthFactor pin diameters deep; their centres lie on a circle of half
// the cut face's inner radius, 120 degrees apart. The hole's roof is a small
// bridge over the cut face, which prints without supports.
#ifndef PRINTHALVES_H
#define PRINTHALVES_H

#include "meshes/drawnmesh.h"
#include "world/status.h"

#include <QPointF>
#include <QVector>

// What a pin needs around it: play for a pin of filament to go in by hand,
// and the holes' depth per pin diameter (a 1.75 mm pin 10.5 mm long).
const double pinClearanceMm = 0.3;
const double pinDepthFactor = 3;
// The plastic left between a hole and the cut face's rim, another hole or
// the half's outer surface.
const double pinWallMm = 2;

struct HalvesOptions
{
    double diameterMm = 100;  // of the base sphere, as MeshExportOptions
    double pinDiameterMm = 0; // 0: no holes
};

struct PrintHalves
{
    // In model units (millimetresPerUnit(diameterMm) mm each), in the frame
    // above; levels per vertex as the drawn mesh's, the cut face's own
    // vertices at the level of the sea.
    DrawnMesh north, south;
    // Where each half's cut-plane origin lies on the bed, in millimetres.
    QPointF northOffsetMm, southOffsetMm;
    // With pins: the holes' centres in the cut plane of the uncut globe
    // (millimetres), their diameter and depth.
    QVector<QPointF> holeCentresMm;
    double holeDiameterMm = 0, holeDepthMm = 0;
};

// Cuts the drawn mesh (with its relief applied) into halves. Refused, in
// one line, when the holes for pins of that size do not fit (the line gives
// the largest that does), or when the equator does not cut the globe in one
// loop around the pole (a mesh the editor never draws).
Status cutIntoHalves(const DrawnMesh &mesh, const HalvesOptions &options, PrintHalves &halves);

// The largest pin diameter whose holes fit a cut face whose rim lies
// innerRadiusMm from the centre at least, on a half at least that high.
double largestPinMm(double innerRadiusMm);

// NAME-north.stl beside NAME.stl: the file of one half.
QString halfFileName(const QString &path, const char *half);

#endif
