// Wall-clock timing and the median of repeated runs.
#ifndef BENCH_TIMING_H
#define BENCH_TIMING_H

#include <algorithm>
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

// Runs ours and the reference in turn, reps times each, so that a slow
// moment on the shared machine hits both alike. Each callable returns the
// milliseconds it measured itself, which lets it keep set-up out of the count.
template <typename Ours, typename Reference>
std::pair<double, double> interleavedMedians(int reps, Ours &&ours, Reference &&reference)
{
    std::vector<double> a, b;
    for (int i = 0; i < reps; ++i) {
        a.push_back(ours());
        b.push_back(reference());
    }
    return {median(a), median(b)};
}

#endif
