// What the history benches report alike: min, median and max of repeated timings, and the
// machine's load while they ran (a shared 2-core machine makes figures swing).
#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

namespace vmx::bench {

struct Stats {
    double min, median, max;
};

inline Stats Of(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2], v.back()};
}

inline double Load()
{
    double l = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &l) != 1) l = 0;
        std::fclose(f);
    }
    return l;
}

} // namespace vmx::bench
