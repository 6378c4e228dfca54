#pragma once

// Timing and options shared by the benchmark programs.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace bench {

inline double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The number after "--name" among the arguments, else fallback.
inline int countOption(int argc, char** argv, const char* name, int fallback)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], name) == 0)
            return std::atoi(argv[i + 1]);
    }
    return fallback;
}

} // namespace bench
