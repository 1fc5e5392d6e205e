#include "maps/worldmap.h"

#include "maps/meshraster.h"
#include "maps/vertexsampler.h"
#include "terrain/levelrules.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

SampleGrid mapGrid(int width)
{
    return SampleGrid{width, width / 2, false};
}

quint16 *greyRow(QImage &image, int y)
{
    return reinterpret_cast<quint16 *>(image.scanLine(y));
}

// Imports the heightmap as `import` would and counts the vertices that
// would not get their level back.
int countUnrestorable(const DrawnMesh &mesh, const MeshRaster &raster, QImage &image,
                      const ProgressPart &progress)
{
    VertexSampler sampler(raster);
    std::vector<double> row(size_t(image.width()));
    for (int y = 0; y < image.height(); ++y) {
        progress.update(y, image.height());
        const quint16 *grey = greyRow(image, y);
        std::copy(grey, grey + image.width(), row.begin());
        sampler.addRow(y, row.data(), static_cast<const bool *>(nullptr));
    }
    const std::vector<double> means = sampler.means();
    int lost = 0;
    for (int v = 0; v < mesh.vertexCount(); ++v)
        lost += heightValue(levelInRange(means[v], 0, 65535)) != heightValue(mesh.levels[v]);
    return lost;
}

} // namespace

QPoint pixelOf(double theta, double phi, int width)
{
    return mapGrid(width).sampleOf(theta, phi);
}

ShadedColours::ShadedColours(const DrawnMesh &mesh) : colours(3 * size_t(mesh.vertexCount()))
{
    for (int v = 0; v < mesh.vertexCount(); ++v)
        levelColor(mesh.levels[v], colours[3 * v], colours[3 * v + 1], colours[3 * v + 2]);
}

void ShadedColours::blend(const MeshRaster &raster, int t, const double weights[3],
                          uchar rgb[3]) const
{
    const int *corner = raster.corners(t);
    const float *a = &colours[3 * size_t(corner[0])], *b = &colours[3 * size_t(corner[1])],
                *c = &colours[3 * size_t(corner[2])];
    for (int channel = 0; channel < 3; ++channel) {
        const double sum =
            weights[0] * a[channel] + weights[1] * b[channel] + weights[2] * c[channel];
        // channel8 without its call to lround: for x from 0 to 255, x + 0.5
        // is exact in a double, so its floor is lround(x). Every map draws
        // millions of these.
        const float clamped = qBound(0.0f, float(sum), 1.0f);
        rgb[channel] = uchar(int(double(clamped) * 255.0 + 0.5));
    }
}

QImage renderColourMap(const DrawnMesh &mesh, int width, const ProgressPart &progress,
                       const RowsReady &rowsReady)
{
    const MeshRaster raster(mesh, mapGrid(width));
    const ShadedColours shaded(mesh);
    QImage image(width, width / 2, QImage::Format_RGB888);
    image.fill(Qt::black);
    const int rows = raster.bandHeight(), bands = (image.height() + rows - 1) / rows;
    // Bands are independent: each worker draws every n-th, into rows of its
    // own, and says when each is done. Without a taker of the rows the
    // calling thread is the first worker and reports the progress.
    const int workers = int(std::clamp(std::thread::hardware_concurrency(), 1u, 2u));
    std::mutex mutex;
    std::condition_variable drawn;
    std::vector<char> done(size_t(bands), 0);
    auto draw = [&](int worker) {
        std::vector<int> triangle(size_t(rows) * width);
        std::vector<double> weights(3 * triangle.size());
        for (int band = worker; band < bands; band += workers) {
            if (worker == 0 && !rowsReady)
                progress.update(band, bands);
            raster.locateBand(band, triangle.data(), weights.data());
            for (int y = band * rows; y < std::min(image.height(), (band + 1) * rows); ++y) {
                const size_t first = size_t(y - band * rows) * width;
                uchar *row = image.scanLine(y);
                for (int x = 0; x < width; ++x) {
                    if (triangle[first + x] >= 0)
                        shaded.blend(raster, triangle[first + x], &weights[3 * (first + x)],
                                     row + 3 * x);
                }
            }
            if (rowsReady) {
                const std::lock_guard<std::mutex> lock(mutex);
                done[size_t(band)] = 1;
                drawn.notify_one();
            }
        }
    };
    // scanLine of a shared image would copy it: none is shared here, and
    // bits() detaches once before the workers start.
    image.bits();
    std::vector<std::thread> others;
    for (int worker = rowsReady ? 0 : 1; worker < workers; ++worker)
        others.emplace_back(draw, worker);
    if (!rowsReady)
        draw(0);
    for (int band = 0; rowsReady && band < bands; ++band) {
        progress.update(band, bands);
        {
            std::unique_lock<std::mutex> lock(mutex);
            drawn.wait(lock, [&] { return done[size_t(band)] != 0; });
        }
        rowsReady(image, band * rows, std::min(image.height(), (band + 1) * rows));
    }
    for (std::thread &other : others)
        other.join();
    return image;
}

QImage renderHeightmap(const DrawnMesh &mesh, int width, int *unrestorable,
                       const ProgressPart &progress)
{
    const MeshRaster raster(mesh, mapGrid(width));
    QImage image(width, width / 2, QImage::Format_Grayscale16);
    std::vector<int> owners;
    // Counting what an import would restore reads the map once more.
    const ProgressPart drawing = progress.part(0, unrestorable ? 0.5 : 1);
    for (int y = 0; y < image.height(); ++y) {
        drawing.update(y, image.height());
        raster.ownersOfRow(y, owners);
        quint16 *row = greyRow(image, y);
        for (int x = 0; x < image.width(); ++x)
            row[x] = heightOf(mesh, owners[x]);
    }
    if (unrestorable)
        *unrestorable = countUnrestorable(mesh, raster, image, progress.part(0.5, 1));
    return image;
}

quint16 heightOf(const DrawnMesh &mesh, int vertex)
{
    return vertex < 0 ? 0 : heightValue(mesh.levels[vertex]);
}

quint16 heightValue(int level)
{
    return level >= 1 && level <= 9 ? quint16(std::lround(level * 65535.0 / 9)) : 0;
}

int levelInRange(double value, double lowest, double highest)
{
    if (!(highest > lowest))
        return 0;
    // NaN (a range too wide for a double) goes to 0 with the low values.
    const double step = std::floor((value - lowest) / (highest - lowest) * 10);
    return !(step > 0) ? 0 : step >= 9 ? 9 : int(step);
}
