// A full target list: 300 lines with 3 x 3 grids, 2700 rows, spread over
// the sky as scripts/rehearse-full-table.sh spreads them. For the tests and
// the benchmarks of whole nights; no test framework needed.
#pragma once

#include <cstdio>
#include <random>
#include <string>

namespace vantrel::testing {

inline std::string fullTargetList() {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0, 1);
  std::string adf;
  for (int i = 0; i < 300; ++i) {
    int h = static_cast<int>(unit(random) * 24), d = static_cast<int>(unit(random) * 60);
    double m = unit(random) * 59.9, am = unit(random) * 59.9;
    char sign = d < 40 && unit(random) < 0.5 ? '-' : '+';
    char line[96];
    std::snprintf(line, sizeof line, "F%03d%02d%04.1f %c%02d%04.1f field %d 111111111\r\n", i, h, m, sign, d, am, i);
    adf += line;
  }
  return adf;
}

}  // namespace vantrel::testing
