#include "maps/vertexsampler.h"

#include <cmath>
#include <limits>

VertexSampler::VertexSampler(const MeshRaster &raster)
    : raster(raster), sum(raster.vertexCount()), weight(raster.vertexCount()),
      ownValue(raster.vertexCount()), ownState(raster.vertexCount(), Outside),
      seen(raster.vertexCount(), 0)
{}

// valid(x) gives the State of sample x.
template <typename Valid> void VertexSampler::add(int y, const double *values, Valid valid)
{
    raster.ownersOfRow(y, owners);
    const double w = raster.grid().areaWeight(y);
    for (size_t x = 0; x < owners.size(); ++x) {
        if (owners[x] < 0)
            continue;
        const unsigned char state = valid(x);
        if (state == Data) {
            sum[owners[x]] += w * values[x];
            weight[owners[x]] += w;
        }
        if (state != Outside)
            seen[owners[x]] = 1;
    }
    for (int v : raster.verticesOfRow(y)) {
        const int x = raster.ownSample(v).x();
        ownState[v] = valid(size_t(x));
        ownValue[v] = values[x];
    }
}

void VertexSampler::addRow(int y, const double *values, const bool *valid)
{
    add(y, values, [valid](size_t x) { return !valid || valid[x] ? Data : NoData; });
}

void VertexSampler::addRow(int y, const double *values, const unsigned char *states)
{
    add(y, values, [states](size_t x) { return states[x]; });
}

std::vector<double> VertexSampler::means(std::vector<bool> *missing) const
{
    std::vector<double> result(sum.size());
    if (missing)
        missing->assign(sum.size(), false);
    for (size_t v = 0; v < sum.size(); ++v) {
        if (weight[v] > 0) {
            result[v] = sum[v] / weight[v];
        } else if (ownState[v] == Data) {
            result[v] = ownValue[v];
        } else {
            result[v] = std::numeric_limits<double>::quiet_NaN();
            if (missing)
                (*missing)[v] = true;
        }
    }
    return result;
}

std::vector<unsigned char> VertexSampler::states() const
{
    std::vector<unsigned char> result(sum.size());
    for (size_t v = 0; v < sum.size(); ++v) {
        if (weight[v] > 0 || ownState[v] == Data)
            result[v] = Data;
        else if (seen[v] || ownState[v] == NoData)
            result[v] = NoData;
        else
            result[v] = Outside;
    }
    return result;
}
