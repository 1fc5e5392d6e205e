// Wall-clock timing and the median of repeated runs.
#ifndef BENCH_TIMING_H
#define BENCH_TIMING_H

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

template <typename F> double elapsedMs(F &&run)
{
    const auto start = std::chrono::steady_clock::now();
    run();
    const std::chrono::duration<double, std::milli> d = std::chrono::steady_clock::now() - start;
    return d.count();
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + values.size() / 2;
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2 == 1)
        return *middle;
    return (*middle + *std::max_element(values.begin(), middle)) / 2.0;
}

// Runs each callable in turn, reps times over, so that a slow moment on the
// shared machine hits all of them alike. Each returns the milliseconds it
// measured itself, which lets it keep set-up out of the count.
template <typename... Runs>
std::array<double, sizeof...(Runs)> interleavedMedians(int reps, Runs &&...runs)
{
    std::array<std::vector<double>, sizeof...(Runs)> samples;
    for (int i = 0; i < reps; ++i) {
        size_t k = 0;
        ((samples[k++].push_back(runs())), ...);
    }
    std::array<double, sizeof...(Runs)> medians{};
    for (size_t k = 0; k < medians.size(); ++k)
        medians[k] = median(samples[k]);
    return medians;
}

#endif
