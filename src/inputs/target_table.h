// target_table.h - the TargetTable: every pointing the night may visit.
//
// Parallel columns with indices 0..2700; index 0 is never a target row (the
// scan uses azDeg[0] as its reference value). Rows 1..targetCount are filled
// in the order made: each line's base row directly followed by its
// neighbour rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

struct TargetTable {
  static constexpr int capacity = 2700;  // base and neighbour rows together

  std::vector<double> raDeg = std::vector<double>(capacity + 1, 0.0);    // degrees, 1950.0, not normalised
  std::vector<double> decDeg = std::vector<double>(capacity + 1, 0.0);   // degrees, not clamped
  std::vector<std::string> targetName = std::vector<std::string>(capacity + 1);  // whole line, UTF-8
  std::vector<std::int16_t> targetState = std::vector<std::int16_t>(capacity + 1, 0);  // 0 free, 1 chosen
  std::vector<float> azDeg = std::vector<float>(capacity + 1, 0.0f);     // from south through west
  std::vector<double> altDeg = std::vector<double>(capacity + 1, 0.0);   // degrees above the horizon
  std::int16_t targetCount = 0;
};

}  // namespace vantrel
