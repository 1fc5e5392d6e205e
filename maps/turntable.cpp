#include "maps/turntable.h"

#include "maps/gifanimation.h"
#include "maps/mp4animation.h"
#include "maps/projectedmap.h"
#include "maps/webpanimation.h"
#include "world/atomicwrite.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace {

std::unique_ptr<AnimationEncoder> encoderFor(const MapOptions &options)
{
    const int size = options.width, rate = turntableFramesPerSecond;
    switch (options.format) {
    case MapFormat::Gif:
        return std::make_unique<GifAnimation>(size, rate, options.out);
    case MapFormat::Mp4:
        return std::make_unique<Mp4Animation>(size, rate, options.out);
    default:
        return std::make_unique<WebpAnimation>(size, rate, options.out);
    }
}

// Frame k: the orthographic map of its centre, as the map command draws it.
Status drawFrame(const World &world, const DrawnMesh &mesh, const MapOptions &options, int k,
                 ProjectedMap *frame)
{
    MapOptions view = options;
    view.format = MapFormat::Png;
    view.projection = MapProjection::Orthographic;
    view.centerLongitude = frameLongitude(options.centerLongitude, k, options.frames);
    try {
        return renderProjectedMap(world, mesh, view, frame);
    } catch (const std::bad_alloc &) {
        return Status::outOfMemory(options.out);
    }
}

// Frames first to first + count - 1, drawn at once, one thread each.
Status drawFrames(const World &world, const DrawnMesh &mesh, const MapOptions &options, int first,
                  std::vector<ProjectedMap> &frames)
{
    const int count = int(frames.size());
    std::vector<Status> made(static_cast<size_t>(count));
    std::vector<std::thread> others;
    for (int i = 1; i < count; ++i)
        others.emplace_back([&, i] {
            made[size_t(i)] = drawFrame(world, mesh, options, first + i, &frames[size_t(i)]);
        });
    made[0] = drawFrame(world, mesh, options, first, &frames[0]);
    for (std::thread &other : others)
        other.join();
    for (const Status &status : made) {
        if (!status.ok())
            return status;
    }
    return Status();
}

} // namespace

double frameLongitude(double centerLongitude, int k, int frames)
{
    const double turned = std::fmod(centerLongitude - 360.0 * k / frames + 180.0, 360.0);
    return (turned < 0 ? turned + 360.0 : turned) - 180.0;
}

Status writeTurntable(const World &world, const DrawnMesh &mesh, const MapOptions &options,
                      const ProgressPart &progress)
{
    const std::unique_ptr<AnimationEncoder> encoder = encoderFor(options);
    // Each frame's drawing already keeps two cores busy part of the time;
    // GDAL's warp of it is one thread.
    const int workers = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    const ProgressPart drawing = progress.part(0, 0.95);
    for (int first = 0; first < options.frames; first += workers) {
        std::vector<ProjectedMap> frames(size_t(std::min(workers, options.frames - first)));
        if (const Status drawn = drawFrames(world, mesh, options, first, frames); !drawn.ok())
            return drawn;
        for (const ProjectedMap &frame : frames) {
            if (const Status added = encoder->add(frame.image); !added.ok())
                return added;
        }
        drawing.update(first + int(frames.size()), options.frames);
    }
    QByteArray bytes;
    if (const Status finished = encoder->finish(&bytes); !finished.ok())
        return finished;
    progress.update(0.97);
    return writeFileAtomically(options.out, bytes);
}
