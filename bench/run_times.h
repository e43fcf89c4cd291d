#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

// The times of runs - 1 runs of work after a first one, in milliseconds, each taken by
// measure(work). The C library merges freed small blocks lazily, at some later request, so single
// runs of a parse vary with the frees left by the runs before them; the mean is what a parse costs
// in a row of them, and the first run, which may pay for what ran before the row, is not counted.
struct Times {
    double mean = 0;
    double shortest = 1e300;
};

template <class Measure> Times timesAfterFirst(int runs, Measure measure, const std::function<void()>& work) {
    work();
    Times times;
    for (int i = 1; i < runs; ++i) {
        const double ms = measure(work);
        times.mean += ms / (runs - 1);
        times.shortest = std::min(times.shortest, ms);
    }
    return times;
}

// Wall-clock milliseconds of one run of work.
inline double millisecondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The middle value of a set of times.
inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
