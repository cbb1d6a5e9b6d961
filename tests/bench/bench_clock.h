// The one clock and percentile of the Windows benchmarks and the soak: a
// millisecond clock, the median and any percentile of a set of times.
#pragma once

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace bench {

inline double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// The value at fraction p (0..1) of the sorted times, the nearest rank; 0 for none.
inline double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

inline double Median(std::vector<double> v) { return Percentile(std::move(v), 0.5); }

}  // namespace bench
