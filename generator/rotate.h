// Turning a finished world against its poles. The world is a sphere of
// vertices, so a rotation moves every vertex exactly and keeps every
// triangle, fan, outline and level: only the angles in base003.dat change.
//
// Angles in degrees on the command line, radians in the file. The editor's
// pole is the model's +z axis; a point at latitude LAT, longitude LON lies
// at polar angle 90 - LAT and azimuth 180 - LON (export-formats.md).
#ifndef ROTATE_H
#define ROTATE_H

#include "world/optiontexts.h"
#include "world/status.h"
#include "world/world.h"

#include <QString>
#include <QVector>

struct RotateOptions
{
    double poleLatitude = 90; // degrees, -90 to 90: the point that becomes the north pole
    double poleLongitude = 0; // degrees, -180 to 180
    double turn = 0;          // degrees east about the new pole, -360 to 360
};

// The rotate command's options from their texts: pole (LAT,LON, required)
// and turn; a usage error echoing the value as typed.
Status checkRotateOptions(const OptionTexts &given, RotateOptions *options);

// The rotation: first along the chosen point's meridian until the point is
// on the north pole (about the axis through the equator 90 degrees east of
// it; so the south pole, too, moves along the meridian LON), then turn
// degrees east about the pole. Every vertex's new polar angle is its old
// angular distance from the chosen point, and the angles between vertices
// are kept. Rotates the first vertexCount (polar angle, azimuth) pairs of
// coords in place; azimuths come out in [0, 2 pi).
void rotateAngles(QVector<float> &coords, int vertexCount, const RotateOptions &options);

// The rotate command's work on world, loaded from dir: rotates its angles
// and replaces dir's base003.dat, and nothing else, through the durable
// writer. On failure the file is as it was.
Status rotateWorld(const QString &dir, World &world, const RotateOptions &options);

#endif
