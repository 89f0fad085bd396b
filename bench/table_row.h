// One figure of a benchmark, with the baseline measured in the same run, in
// the form bench/run.sh gathers into its table:
//   ROW|figure|value|baseline|baseline value
#pragma once

#include <cstdio>

namespace veltrane::bench {

inline void TableRow(const char* figure, double value, const char* unit, const char* baseline,
                     double baselineValue) {
    std::printf("ROW|%s|%.1f %s|%s|%.1f %s\n", figure, value, unit, baseline, baselineValue, unit);
    std::fflush(stdout);
}

}  // namespace veltrane::bench
