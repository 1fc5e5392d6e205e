// Land raised by uplift and carved by running water, on the vertex graph of
// the sphere: the stream-power law solved by Braun and Willett's implicit
// scheme (2013), with hillslope diffusion and depressions filled each step.
//
//     dh/dt = U - K A^m S^n + D laplacian(h)
//
// h height above the sea in metres, t time in years, U uplift in m/yr, A the
// drainage area in m² (cell areas on a sphere of earthRadiusKm), S the slope
// to the receiver (metres over great-circle metres), m = 0.5, n = 1, K the
// erodibility in 1/yr, D the diffusivity in m²/yr. The rules are in
// docs/erosion.md.
//
// Boundary conditions: sea vertices are the base level, h = 0, always; every
// land vertex drains to its neighbour of steepest descent of the surface
// after depressions are filled (priority-flood with a rising step of
// fillRiseM, Barnes, Lehman and Mulla 2014), so water always reaches the sea
// of the part of the sphere it stands on.
#ifndef STREAMPOWER_H
#define STREAMPOWER_H

#include "water/drainage.h"
#include "world/progress.h"

#include <vector>

struct StreamPower
{
    int steps = 50;            // time steps
    double yearsPerStep = 2e5; // dt
    double erodibility = 2e-6; // K, 1/yr (m = 0.5, n = 1, A in m²)
    double areaExponent = 0.5; // m
    double diffusivity = 5e3;  // D, m²/yr: everything below a cell's size
    double fillRiseM = 1e-3;   // the least drop from a vertex to its receiver
    ProgressPart progress;     // after each step
};

// The heights after params.steps steps from initial, every land vertex (not
// sea) draining strictly downhill to the sea: along receivers, each height
// is above the next by at least params.fillRiseM. graph is a drainage
// (water/drainage.h) of the world, used for its vertex graph and cells alone. Land cut off from
// every sea vertex drains to its own lowest vertex. sea, uplift and initial hold one entry per
// vertex of graph; uplift in m/yr, initial in metres. Deterministic: the same inputs give the same
// heights, bit for bit.
std::vector<double> erodeHeights(const Drainage &graph, const std::vector<char> &sea,
                                 const std::vector<double> &uplift,
                                 const std::vector<double> &initial, const StreamPower &params);

#endif
