#include "maps/watermap.h"

#include "maps/cubemap.h"
#include "maps/meshraster.h"
#include "meshes/drawnmesh.h"
#include "meshes/meshframe.h"
#include "water/rivers.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

using Water = WaterNetwork;

QPen riverPen(const Water &water, const RiverSegment &segment, double pixelsPerWidth)
{
    const double doublings =
        std::log2(std::max(1.0, segment.flowKm2 / std::max(water.minAreaKm2, 1e-9)));
    const double width =
        std::min(3.0, 1 + doublings / 4) * std::sqrt(std::max(1.0, pixelsPerWidth));
    return QPen(QColor(riverRgb.red, riverRgb.green, riverRgb.blue), width, Qt::SolidLine,
                Qt::RoundCap, Qt::RoundJoin);
}

// Paints the lake pixels, each pixel's vertex given by owner.
void paintLakes(const Drainage &d, QImage &image, int y, const std::vector<int> &owners)
{
    const Rgb8 sea = levelRgb8(0);
    uchar *row = image.scanLine(y);
    for (int x = 0; x < image.width(); ++x) {
        if (owners[x] >= 0 && d.lakeOf[owners[x]] >= 0) {
            row[3 * x] = sea.red;
            row[3 * x + 1] = sea.green;
            row[3 * x + 2] = sea.blue;
        }
    }
}

// (sc, tc) of direction d on face; false when d points too far from the
// face for a line to it to be drawn there.
bool onFace(int face, const Vec3 &d, double *sc, double *tc)
{
    return cubeFaceCoordinates(face, d, 0.2, sc, tc);
}

} // namespace

void drawWaterOnMap(const World &world, QImage &map, int widthFor, double minAreaKm2)
{
    const Water water = waterNetwork(world, minAreaKm2);
    const Drainage &d = water.drainage;
    const int w = map.width(), h = map.height();
    const MeshRaster raster(drawnMesh(world), SampleGrid{w, h});
    std::vector<int> owners;
    for (int y = 0; y < h; ++y) {
        raster.ownersOfRow(y, owners);
        paintLakes(d, map, y, owners);
    }
    QPainter painter(&map);
    painter.setRenderHint(QPainter::Antialiasing);
    auto pixel = [&](const LonLat &p, double shift) {
        return QPointF((p.lon + shift + 180) / 360 * w, (90 - p.lat) / 180 * h);
    };
    for (const RiverSegment &segment : water.rivers) {
        painter.setPen(riverPen(water, segment, (widthFor > 0 ? widthFor : w) / 2048.0));
        for (size_t i = 1; i < segment.vertices.size(); ++i) {
            const LonLat a = lonLatOf(d.units[segment.vertices[i - 1]]);
            const LonLat b = lonLatOf(d.units[segment.vertices[i]]);
            if (std::fabs(a.lon - b.lon) <= 180) {
                painter.drawLine(pixel(a, 0), pixel(b, 0));
                continue;
            }
            // Across the seam: once from each side, each clipped at the edge.
            const double shift = a.lon > 0 ? 360 : -360;
            painter.drawLine(pixel(a, 0), pixel(b, shift));
            painter.drawLine(pixel(a, -shift), pixel(b, 0));
        }
    }
}

void drawWaterOnCube(const World &world, QVector<QImage> &faces, double minAreaKm2)
{
    const Water water = waterNetwork(world, minAreaKm2);
    const Drainage &d = water.drainage;
    const int size = faces.value(0).width();
    const MeshRaster raster(drawnMesh(world), SampleGrid{4 * size, 2 * size});
    for (int face = 0; face < faces.size(); ++face) {
        QImage &image = faces[face];
        std::vector<int> owners(size);
        for (int j = 0; j < size; ++j) {
            for (int i = 0; i < size; ++i) {
                double weights[3];
                const Vec3 direction = modelFromYUp(cubeFaceDirection(face, i, j, size));
                const int t = raster.locate(direction, weights);
                owners[i] = t < 0 ? -1 : raster.nearestCorner(t, direction);
            }
            paintLakes(d, image, j, owners);
        }
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        for (const RiverSegment &segment : water.rivers) {
            painter.setPen(riverPen(water, segment, size / 512.0));
            for (size_t i = 1; i < segment.vertices.size(); ++i) {
                // Y up, as the faces are: (x, y, z) of the model is (X, -Z, Y).
                const Vec3 &a = d.units[segment.vertices[i - 1]];
                const Vec3 &b = d.units[segment.vertices[i]];
                double sa, ta, sb, tb;
                if (onFace(face, {a.x, a.z, -a.y}, &sa, &ta) &&
                    onFace(face, {b.x, b.z, -b.y}, &sb, &tb))
                    painter.drawLine(QPointF((sa + 1) * size / 2, (ta + 1) * size / 2),
                                     QPointF((sb + 1) * size / 2, (tb + 1) * size / 2));
            }
        }
    }
}
