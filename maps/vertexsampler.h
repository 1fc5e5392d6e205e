// The mean of a raster's samples over each vertex's share of the sphere:
// the samples MeshRaster::ownersOfRow gives it, each weighted by its area.
#ifndef VERTEXSAMPLER_H
#define VERTEXSAMPLER_H

#include "maps/meshraster.h"

#include <vector>

class VertexSampler
{
public:
    // What a sample holds, and what a vertex's share held.
    enum State : unsigned char {
        Outside = 0, // beyond the raster: a vertex keeps its level
        NoData = 1,  // on the raster, without data
        Data = 2
    };

    explicit VertexSampler(const MeshRaster &raster);

    // Row y of the grid: grid().width values; valid may be null (all valid),
    // else valid[x] is false for a sample without data.
    void addRow(int y, const double *values, const bool *valid);
    // The same with a State per sample. Rows never added are outside.
    void addRow(int y, const double *values, const unsigned char *states);
    // One mean per vertex once every row is in. A vertex whose share holds
    // no valid sample takes its own sample's value (the sample its direction
    // falls in), and without one *missing is true for it: NaN then.
    std::vector<double> means(std::vector<bool> *missing = nullptr) const;
    // Per vertex: Data when it has a mean, else NoData when its share or
    // its own sample lay on the raster, else Outside.
    std::vector<unsigned char> states() const;

private:
    template <typename Valid> void add(int y, const double *values, Valid valid);

    const MeshRaster &raster;
    std::vector<double> sum, weight, ownValue;
    std::vector<unsigned char> ownState, seen;
    std::vector<int> owners;
};

#endif
