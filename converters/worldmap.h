// Equirectangular maps of the drawn globe, and the pixel rules they share
// with the heightmap import.
//
// A map is W x H pixels with W = 2H. Pixel (x, y) covers the azimuths
// [2 pi x / W, 2 pi (x + 1) / W) and the polar angles [pi y / H, pi (y + 1) / H):
// row 0 touches the north pole (+z), row H - 1 the south pole; the azimuth
// is the editor's, 0 on +y and pi / 2 on +x. A pixel shows the globe at its
// centre, phi = 2 pi (x + 0.5) / W and theta = pi (y + 0.5) / H.
#ifndef WORLDMAP_H
#define WORLDMAP_H

#include "converters/drawnmesh.h"

#include <QImage>
#include <QPoint>

const int defaultMapWidth = 2048;
const int maxMapWidth = 16384;

// The pixel whose area holds the direction (theta, phi): the polar angle is
// clamped to [0, pi], the azimuth taken modulo 2 pi.
QPoint pixelOf(double theta, double phi, int width);

// The colour map (RGB, 8 bits per channel): each pixel the colour the editor
// shows where the pixel centre's direction meets the globe, the corner
// colours blended by their weights at that point of the flat triangle, as
// the editor's smooth shading blends them. A pixel no triangle covers (a
// hole in a hand-made world) is black.
QImage renderColourMap(const DrawnMesh &mesh, int width);

// The 16-bit heightmap: each pixel heightValue of the level of the corner
// nearest the pixel centre's direction, among the corners of the triangle
// under it; then every vertex's own pixel (pixelOf) carries that vertex's
// level, so that importing the map gives every vertex its level back. That
// fails only for vertices sharing a pixel with one of another level (none
// at the default width for subdivisions up to 8): *unrestorable counts them.
QImage renderHeightmap(const DrawnMesh &mesh, int width, int *unrestorable = nullptr);

// The image as PNG file bytes.
QByteArray pngBytes(const QImage &image);

// Level L from 0 to 9 as a 16-bit grey value: round(L * 65535 / 9). Levels
// outside 0..9 lie on the base sphere like level 0 and map to 0.
quint16 heightValue(int level);

// The inverse for a grey value from 0 to maxValue: round(value * 9 / maxValue).
int levelOfGrey(int value, int maxValue);

#endif
