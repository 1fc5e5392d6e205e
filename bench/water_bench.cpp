// globe-water-bench DIR [RUNS]: the drainage of a world (water/), timed
// alone: the median wall time of RUNS computations (5) after loading DIR,
// printed as "seconds vertices". bench/water_bench.sh runs it beside SAGA.
#include "water/drainage.h"
#include "world/worldload.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: globe-water-bench DIR [RUNS]\n");
        return 1;
    }
    World world;
    const Status loaded = loadWorld(arguments[1], DemoTerrain::Off, &world);
    if (!loaded.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(loaded.message()));
        return 2;
    }
    const int runs = std::max(1, arguments.value(2, QStringLiteral("5")).toInt());
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const Drainage drainage = computeDrainage(world);
        seconds.push_back(timer.nsecsElapsed() / 1e9);
        if (drainage.vertexCount != world.vertexCount)
            return 2;
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%.4f %d\n", seconds[seconds.size() / 2], world.vertexCount);
    return 0;
}
