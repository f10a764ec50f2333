// The positions of every row for one clock sample: row for row the bits of
// koudo_keisan_1950, for rows 1..targetCount and nothing else.
#include <gtest/gtest.h>

#include "astro/koudo_keisan_1950.h"
#include "schedule/target_scan.h"

namespace vantrel {
namespace {

SiteConfig site() {
  SiteConfig config;
  config.siteLongitude = 139.5;
  config.siteLatitude = 35.5;
  return config;
}

TEST(TargetPositions, EveryFilledRowGetsTheRoutinesExactBits) {
  TargetTable table;
  const double rows[][2] = {{83.625, 22.0 + 1.0 / 60}, {-1.5, 91.0}, {350.25, -30.5}, {10.0, 0.0}};
  for (const auto& r : rows) {
    ++table.targetCount;
    table.raDeg[table.targetCount] = r[0];
    table.decDeg[table.targetCount] = r[1];
  }
  table.targetState[2] = 1;  // chosen rows are computed too
  table.azDeg[0] = 123.0f;   // row 0 is not a position
  table.altDeg[0] = 45.0;
  table.azDeg[5] = 7.0f;     // beyond targetCount
  table.altDeg[5] = 8.0;

  PositionPass pass;
  const SiteConfig config = site();
  for (const char* time : {"21:30:15", "03:05:00"}) {
    ClockSample sample = sampleClock("2026-12-05", time);
    computePositions(table, config, sample, pass);
    for (int row = 1; row <= table.targetCount; ++row) {
      HorizontalPosition want =
          koudo_keisan_1950(table.raDeg[row], table.decDeg[row], config.siteLatitude, config.siteLongitude, sample);
      EXPECT_EQ(table.azDeg[row], want.outAz) << time << ", row " << row;
      EXPECT_EQ(table.altDeg[row], want.outAlt) << time << ", row " << row;
    }
  }
  EXPECT_EQ(table.azDeg[0], 123.0f);
  EXPECT_EQ(table.altDeg[0], 45.0);
  EXPECT_EQ(table.azDeg[5], 7.0f);
  EXPECT_EQ(table.altDeg[5], 8.0);
}

TEST(TargetPositions, AnEmptyTableIsLeftAlone) {
  TargetTable table;
  table.azDeg[1] = 5.0f;
  PositionPass pass;
  computePositions(table, site(), sampleClock("2026-12-05", "21:30:15"), pass);
  EXPECT_EQ(table.azDeg[1], 5.0f);
}

}  // namespace
}  // namespace vantrel
