#include "maps/cubemap.h"

#include "maps/meshraster.h"
#include "maps/worldmap.h"
#include "meshes/meshframe.h"

namespace {

// The map's bins serve any direction; a grid as fine as the faces keeps
// their lists short.
SampleGrid binGrid(int size)
{
    return SampleGrid{4 * size, 2 * size, false};
}

void drawFace(const DrawnMesh &mesh, const MeshRaster &raster, const ShadedColours &shaded,
              int face, QImage &image, const ProgressPart &progress)
{
    const int size = image.width();
    const bool heightmap = image.format() == QImage::Format_Grayscale16;
    double weights[3];
    for (int j = 0; j < size; ++j) {
        progress.update(j, size);
        uchar *row = image.scanLine(j);
        for (int i = 0; i < size; ++i) {
            const Vec3 d = modelFromYUp(cubeFaceDirection(face, i, j, size));
            const int t = raster.locate(d, weights);
            if (heightmap)
                reinterpret_cast<quint16 *>(row)[i] =
                    heightOf(mesh, t < 0 ? -1 : raster.nearestCorner(t, d));
            else if (t >= 0)
                shaded.blend(raster, t, weights, row + 3 * i);
        }
    }
}

} // namespace

const char *cubeFaceName(int face)
{
    static const char *const names[cubeFaces] = {"px", "nx", "py", "ny", "pz", "nz"};
    return names[face];
}

Vec3 cubeFaceDirection(int face, int i, int j, int size)
{
    const double sc = 2 * (i + 0.5) / size - 1, tc = 2 * (j + 0.5) / size - 1;
    switch (face) {
    case 0:
        return {1, -tc, -sc};
    case 1:
        return {-1, -tc, sc};
    case 2:
        return {sc, 1, tc};
    case 3:
        return {sc, -1, -tc};
    case 4:
        return {sc, -tc, 1};
    default:
        return {-sc, -tc, -1};
    }
}

bool cubeFaceCoordinates(int face, const Vec3 &d, double minAxis, double *sc, double *tc)
{
    const double k[] = {d.x, -d.x, d.y, -d.y, d.z, -d.z};
    if (!(k[face] > 0) || k[face] < minAxis)
        return false;
    const double s[] = {-d.z, d.z, d.x, d.x, d.x, -d.x};
    const double t[] = {-d.y, -d.y, d.z, -d.z, -d.y, -d.y};
    *sc = s[face] / k[face];
    *tc = t[face] / k[face];
    return true;
}

QVector<QImage> renderCubeFaces(const DrawnMesh &mesh, int size, bool heightmap,
                                const ProgressPart &progress)
{
    const MeshRaster raster(mesh, binGrid(size));
    const ShadedColours shaded(mesh);
    QVector<QImage> faces;
    for (int face = 0; face < cubeFaces; ++face) {
        QImage image(size, size, heightmap ? QImage::Format_Grayscale16 : QImage::Format_RGB888);
        image.fill(0);
        drawFace(mesh, raster, shaded, face, image,
                 progress.part(double(face) / cubeFaces, double(face + 1) / cubeFaces));
        faces << image;
    }
    return faces;
}
