#include "converters/vertexsampler.h"

#include <cmath>
#include <limits>

VertexSampler::VertexSampler(const MeshRaster &raster)
    : raster(raster), sum(raster.vertexCount()), weight(raster.vertexCount()),
      ownValue(raster.vertexCount()), ownValid(raster.vertexCount())
{}

void VertexSampler::addRow(int y, const double *values, const bool *valid)
{
    raster.ownersOfRow(y, owners);
    const double w = raster.grid().areaWeight(y);
    for (size_t x = 0; x < owners.size(); ++x) {
        if (owners[x] >= 0 && (!valid || valid[x])) {
            sum[owners[x]] += w * values[x];
            weight[owners[x]] += w;
        }
    }
    for (int v : raster.verticesOfRow(y)) {
        const int x = raster.ownSample(v).x();
        ownValid[v] = !valid || valid[x];
        ownValue[v] = values[x];
    }
}

std::vector<double> VertexSampler::means(std::vector<bool> *missing) const
{
    std::vector<double> result(sum.size());
    if (missing)
        missing->assign(sum.size(), false);
    for (size_t v = 0; v < sum.size(); ++v) {
        if (weight[v] > 0) {
            result[v] = sum[v] / weight[v];
        } else if (ownValid[v]) {
            result[v] = ownValue[v];
        } else {
            result[v] = std::numeric_limits<double>::quiet_NaN();
            if (missing)
                (*missing)[v] = true;
        }
    }
    return result;
}
