#include "erosion/erosion.h"

#include "generator/noise.h"
#include "world/filenames.h"
#include "world/levelstore.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

const double startMetresPerLevel = 300;
const double roughnessM = 5;

int landHeight(int level)
{
    return level >= 1 && level <= 9 ? level : 1;
}

// A few metres up or down, from the vertex number alone.
double roughness(int v)
{
    const std::uint64_t z = mix64(std::uint64_t(v) * 0x9E3779B97F4A7C15ull);
    return (double(z >> 11) * (1.0 / 9007199254740992.0) - 0.5) * 2 * roughnessM;
}

// The land ranked by height (ties by vertex number) takes the levels the
// land held before, as many vertices of each as there were, lowest level
// lowest; land of one level only takes top equal steps of height instead.
QVector<int> levelsByRank(const QVector<int> &levels, const std::vector<char> &sea,
                          const std::vector<double> &h, int top)
{
    std::vector<int> land, before;
    for (int v = 0; v < int(sea.size()); ++v) {
        if (!sea[v]) {
            land.push_back(v);
            before.push_back(landHeight(levels[v]));
        }
    }
    QVector<int> eroded = levels;
    std::sort(before.begin(), before.end());
    if (before.front() == before.back()) {
        const double highest = *std::max_element(h.begin(), h.end());
        for (int v : land)
            eroded[v] = 1 + std::min(top - 1, int(std::floor(top * h[v] / highest)));
        return eroded;
    }
    std::sort(land.begin(), land.end(),
              [&h](int a, int b) { return h[a] < h[b] || (h[a] == h[b] && a < b); });
    for (size_t rank = 0; rank < land.size(); ++rank)
        eroded[land[rank]] = before[rank];
    return eroded;
}

// Each level's mean height over the land holding it; the levels no vertex
// holds filled in so that the nine rise from above 0.
LevelHeights meanHeights(const QVector<int> &eroded, const std::vector<char> &sea,
                         const std::vector<double> &h)
{
    std::array<double, 10> sum{};
    std::array<int, 10> count{};
    for (int v = 0; v < int(sea.size()); ++v) {
        if (!sea[v]) {
            sum[landHeight(eroded[v])] += std::max(0.0, h[v]);
            ++count[landHeight(eroded[v])];
        }
    }
    std::vector<int> held;
    for (int k = 1; k <= 9; ++k) {
        if (count[k] > 0)
            held.push_back(k);
    }
    LevelHeights heights;
    heights.known = true;
    const auto mean = [&](int k) { return sum[k] / count[k]; };
    const double step = mean(held.back()) / held.back();
    for (int k = 1; k <= 9; ++k) {
        const auto above = std::lower_bound(held.begin(), held.end(), k);
        double m;
        if (above == held.end())
            m = mean(held.back()) + (k - held.back()) * step;
        else if (*above == k)
            m = mean(k);
        else if (above == held.begin())
            m = mean(*above) * k / *above;
        else
            m = mean(above[-1]) +
                (mean(*above) - mean(above[-1])) * (k - above[-1]) / (*above - above[-1]);
        // Rounding and flat coasts may leave a level level with the one below.
        heights.metres[k - 1] = std::max(m, k == 1 ? 1.0 : heights.metres[k - 2] + 1);
    }
    return heights;
}

} // namespace

Status checkErosionOptions(const OptionTexts &given, ErosionOptions *options)
{
    bool ok = true;
    const QString steps = given.value(QStringLiteral("steps"));
    if (given.isSet(QStringLiteral("steps")))
        options->steps = steps.toInt(&ok);
    if (!ok || options->steps < 1 || options->steps > maxErosionSteps)
        return Status::usage(QStringLiteral("--steps must be a whole number from 1 to %1, not '%2'")
                                 .arg(maxErosionSteps)
                                 .arg(shownName(steps)));
    const QString strength = given.value(QStringLiteral("strength"));
    if (given.isSet(QStringLiteral("strength")) &&
        !(numberInRange(strength, 0, maxErosionStrength, &options->strength) &&
          options->strength > 0))
        return Status::usage(QStringLiteral("--strength must be a number above 0 and at most %1, "
                                            "not '%2'")
                                 .arg(maxErosionStrength)
                                 .arg(shownName(strength)));
    return Status();
}

StreamPower streamPowerOf(const ErosionOptions &options)
{
    StreamPower p;
    p.steps = options.steps;
    p.erodibility *= options.strength;
    p.progress = options.progress;
    return p;
}

QVector<int> erodedLevels(const World &world, const QVector<int> &levels,
                          const ErosionOptions &options, LevelHeights *heights)
{
    if (heights)
        *heights = LevelHeights();
    const int n = world.vertexCount;
    std::vector<char> sea(n);
    int top = 0, land = 0;
    for (int v = 0; v < n; ++v) {
        sea[v] = levels[v] == 0;
        if (!sea[v]) {
            top = std::max(top, landHeight(levels[v]));
            ++land;
        }
    }
    if (land == 0 || land == n)
        return levels;
    const Drainage graph = computeDrainage(world);
    std::vector<double> uplift(n, 0.0), initial(n, 0.0);
    for (int v = 0; v < n; ++v) {
        if (sea[v])
            continue;
        const double share = double(landHeight(levels[v])) / top;
        uplift[v] = maxUpliftMmPerYear * 1e-3 * share * share;
        initial[v] = landHeight(levels[v]) * startMetresPerLevel + roughness(v);
    }
    const std::vector<double> h = erodeHeights(graph, sea, uplift, initial, streamPowerOf(options));
    const QVector<int> eroded = levelsByRank(levels, sea, h, top);
    if (heights)
        *heights = meanHeights(eroded, sea, h);
    return eroded;
}

Status erodeWorld(const QString &dir, const World &world, const ErosionOptions &options,
                  ErosionReport *report)
{
    StartingLevels file;
    if (const Status read = readStartingLevels(dir, world.vertexCount, file); !read.ok())
        return read;
    const QVector<int> levels = file.table.mid(0, world.vertexCount);
    const int land = world.vertexCount - int(std::count(levels.begin(), levels.end(), 0));
    *report = ErosionReport();
    report->landVertices = land;
    if (land == 0) {
        report->unchanged = true;
        return Status();
    }
    if (land == world.vertexCount)
        return Status::refused(file.path, QStringLiteral("holds no sea (level 0), so the water "
                                                         "has nowhere to go; erosion needs a sea"));
    const QVector<int> eroded = erodedLevels(world, levels, options);
    report->topLevel = *std::max_element(eroded.begin(), eroded.end());
    return writeStartingLevels(file, eroded);
}
