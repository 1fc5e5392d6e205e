// Lines of latitude and longitude over a map's colours, in any projection.
//
// A line is where latitude or longitude is a whole multiple of the step in
// degrees, counted from the equator and the prime meridian (so both are
// always among them; the meridian of 180 degrees too when the step divides
// 180). Each pixel is judged from its own centre's latitude and longitude,
// given by whoever made the map (the map convention, a cube face's
// direction, or GDAL's transformer of a warped map), so the lines lie
// exactly where the map shows those places: a pixel's distance from a line,
// in pixels, is its distance in degrees divided by how fast the degrees
// change across the pixels around it. Lines are about W / 4096 pixels wide
// (one pixel at least, W the map's width), anti-aliased, in a dark grey laid
// over the colours at 80%, which reads on the light sea and on every land
// colour.
#ifndef GRATICULE_H
#define GRATICULE_H

#include <QImage>

#include <functional>

// Fills longitude[x] and latitude[x], in degrees, for the pixel centres of
// row y; NaN where the pixel shows no point of the globe.
using RowPlaces = std::function<void(int y, double *longitude, double *latitude)>;

// Whether step is a graticule step: more than 0, at most 90 degrees.
bool isGraticuleStep(double step);

// Draws the lines over image (Format_RGB888 or Format_RGBA8888; alpha is
// kept). lineWidth in pixels; 0 chooses it from the image's width.
void drawGraticule(QImage &image, double step, const RowPlaces &places, double lineWidth = 0);

// The places of an equirectangular map's row (worldmap.h).
RowPlaces equirectangularPlaces(int width, int height);
// The places of a cube face's row (cubemap.h), size pixels square.
RowPlaces cubeFacePlaces(int face, int size);

#endif
