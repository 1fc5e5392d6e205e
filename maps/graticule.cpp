#include "maps/graticule.h"

#include "maps/cubemap.h"
#include "sphere/sphere.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Latitude or longitude in steps, in the rows above, at and below the pixel.
struct Field
{
    std::vector<double> rows[3];
};

double difference(double from, double to, double turn)
{
    double d = to - from;
    if (turn > 0)
        d = std::remainder(d, turn);
    return d;
}

// How many steps the field changes per pixel along one axis: the central
// difference where both neighbours show the globe, else the one-sided one.
double slope(double before, double at, double after, double turn)
{
    const bool hasBefore = std::isfinite(before), hasAfter = std::isfinite(after);
    if (hasBefore && hasAfter)
        return difference(before, after, turn) / 2;
    if (hasAfter)
        return difference(at, after, turn);
    if (hasBefore)
        return difference(before, at, turn);
    return 0;
}

// The pixel's distance from the nearest line, in pixels.
double distanceToLine(const Field &field, int x, int width, double turn)
{
    const std::vector<double> &row = field.rows[1];
    const double at = row[x];
    const double left = x > 0 ? row[x - 1] : NAN, right = x + 1 < width ? row[x + 1] : NAN;
    const double dx = slope(left, at, right, turn);
    const double dy = slope(field.rows[0][x], at, field.rows[2][x], turn);
    const double gradient = std::hypot(dx, dy);
    const double off = std::fabs(at - std::round(at));
    return gradient > 0 ? off / gradient : off == 0 ? 0 : INFINITY;
}

} // namespace

bool isGraticuleStep(double step)
{
    return step > 0 && step <= 90;
}

void drawGraticule(QImage &image, double step, const RowPlaces &places, double lineWidth)
{
    const int w = image.width(), h = image.height();
    if (w == 0 || h == 0 || !isGraticuleStep(step))
        return;
    const int channels = image.format() == QImage::Format_RGBA8888 ? 4 : 3;
    if (lineWidth <= 0)
        lineWidth = std::max(1.0, w / 4096.0);
    const double turn = 360 / step; // a longitude field wraps after this many steps
    Field latitude, longitude;
    for (int k = 0; k < 3; ++k) {
        latitude.rows[k].assign(size_t(w), NAN);
        longitude.rows[k].assign(size_t(w), NAN);
    }
    auto load = [&](int y) {
        std::rotate(latitude.rows, latitude.rows + 1, latitude.rows + 3);
        std::rotate(longitude.rows, longitude.rows + 1, longitude.rows + 3);
        double *lat = latitude.rows[2].data(), *lon = longitude.rows[2].data();
        if (y >= h) {
            std::fill(lat, lat + w, NAN);
            std::fill(lon, lon + w, NAN);
            return;
        }
        places(y, lon, lat);
        for (int x = 0; x < w; ++x) {
            lat[x] /= step;
            lon[x] /= step;
        }
    };
    load(0);
    const uchar ink = 32;
    const double opacity = 0.8;
    for (int y = 0; y < h; ++y) {
        load(y + 1);
        uchar *row = image.scanLine(y);
        for (int x = 0; x < w; ++x) {
            if (!std::isfinite(latitude.rows[1][x]) || !std::isfinite(longitude.rows[1][x]))
                continue;
            const double distance =
                std::min(distanceToLine(latitude, x, w, 0), distanceToLine(longitude, x, w, turn));
            const double cover = std::clamp(lineWidth / 2 + 0.5 - distance, 0.0, 1.0) * opacity;
            if (cover <= 0)
                continue;
            uchar *pixel = row + channels * x;
            for (int c = 0; c < 3; ++c)
                pixel[c] = uchar(std::lround(pixel[c] + (ink - pixel[c]) * cover));
        }
    }
}

RowPlaces equirectangularPlaces(int width, int height)
{
    return [width, height](int y, double *longitude, double *latitude) {
        const double lat = 90 - 180 * (y + 0.5) / height;
        for (int x = 0; x < width; ++x) {
            longitude[x] = 360 * (x + 0.5) / width - 180;
            latitude[x] = lat;
        }
    };
}

RowPlaces cubeFacePlaces(int face, int size)
{
    return [face, size](int y, double *longitude, double *latitude) {
        for (int x = 0; x < size; ++x) {
            // The cube's frame is Y up, longitude 0 on +Z, east on +X.
            const Vec3 d = cubeFaceDirection(face, x, y, size);
            longitude[x] = std::atan2(d.x, d.z) * 180 / pi;
            latitude[x] = std::atan2(d.y, std::hypot(d.x, d.z)) * 180 / pi;
        }
    };
}
