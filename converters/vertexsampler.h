// The mean of a raster's samples over each vertex's share of the sphere:
// the samples MeshRaster::ownersOfRow gives it, each weighted by its area.
#ifndef VERTEXSAMPLER_H
#define VERTEXSAMPLER_H

#include "converters/meshraster.h"

#include <vector>

class VertexSampler
{
public:
    explicit VertexSampler(const MeshRaster &raster);

    // Row y of the grid: grid().width values; valid may be null (all valid),
    // else valid[x] is false for a sample without data.
    void addRow(int y, const double *values, const bool *valid);
    // One mean per vertex once every row is in. A vertex whose share holds
    // no valid sample takes its own sample's value (the sample its direction
    // falls in), and without one *missing is true for it: NaN then.
    std::vector<double> means(std::vector<bool> *missing = nullptr) const;

private:
    const MeshRaster &raster;
    std::vector<double> sum, weight, ownValue;
    std::vector<bool> ownValid;
    std::vector<int> owners;
};

#endif
