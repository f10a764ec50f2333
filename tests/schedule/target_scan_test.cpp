// The positions of every row for one clock sample, and the scan that chooses
// the next row on positions set by hand.
#include "schedule/target_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "astro/koudo_keisan_1950.h"

namespace vantrel {
namespace {

struct Row {
  float azDeg;
  double altDeg;
  std::int16_t targetState = 0;
};

TargetTable tableOf(const std::vector<Row>& rows) {
  TargetTable table;
  for (const Row& r : rows) {
    ++table.targetCount;
    table.azDeg[table.targetCount] = r.azDeg;
    table.altDeg[table.targetCount] = r.altDeg;
    table.targetState[table.targetCount] = r.targetState;
  }
  return table;
}

constexpr double minAltitude = 30.0;
const float justAbove270 = std::nextafter(270.0f, 360.0f);
const float justBelow352_5 = std::nextafter(352.5f, 0.0f);
const double justAboveMin = std::nextafter(minAltitude, 90.0);

// Row for row the bits of koudo_keisan_1950, for rows 1..targetCount and nothing else.
TEST(TargetPositions, EveryFilledRowGetsTheRoutinesExactBits) {
  SiteConfig config;
  config.siteLongitude = 139.5;
  config.siteLatitude = 35.5;
  TargetTable table = tableOf({{7.0f, 8.0}, {7.0f, 8.0}, {7.0f, 8.0}, {7.0f, 8.0, 1}, {7.0f, 8.0}});
  const double rows[][2] = {{83.625, 22.0 + 1.0 / 60}, {-1.5, 91.0}, {350.25, -30.5}, {10.0, 0.0}};
  for (int row = 1; row <= 4; ++row) {
    table.raDeg[row] = rows[row - 1][0];
    table.decDeg[row] = rows[row - 1][1];
  }
  table.targetCount = 4;  // row 5 stays as it was, row 4 is chosen but still computed
  table.azDeg[0] = 123.0f;  // row 0 is not a position
  PositionPass pass;
  for (const char* time : {"21:30:15", "03:05:00"}) {
    ClockSample sample = sampleClock("2026-12-05", time);
    computePositions(table, config, sample, pass);
    for (int row = 1; row <= 4; ++row) {
      HorizontalPosition want =
          koudo_keisan_1950(table.raDeg[row], table.decDeg[row], config.siteLatitude, config.siteLongitude, sample);
      EXPECT_EQ(table.azDeg[row], want.outAz) << time << ", row " << row;
      EXPECT_EQ(table.altDeg[row], want.outAlt) << time << ", row " << row;
    }
  }
  EXPECT_EQ(table.azDeg[0], 123.0f);
  EXPECT_EQ(table.azDeg[5], 7.0f);
  EXPECT_EQ(table.altDeg[5], 8.0);
}

TEST(TargetScan, ChoosesTheEligibleRowNearestTheMeridianAndCountsReplacements) {
  const struct {
    const char* what;
    std::vector<Row> rows;
    int chosenRow, candidateCount;
    double minAltitude = vantrel::minAltitude;
  } cases[] = {
      {"no rows", {}, 0, 0},
      {"azimuth exactly 270", {{270.0f, 60}}, 0, 0},
      {"azimuth exactly 352.5", {{352.5f, 60}}, 0, 0},
      {"altitude exactly minAltitude", {{300.0f, minAltitude}}, 0, 0},
      {"just inside every bound", {{justAbove270, justAboveMin}, {justBelow352_5, justAboveMin}}, 2, 2},
      {"equal azimuths choose the lower row", {{300.0f, 40}, {300.0f, 80}}, 1, 1},
      {"equal azimuths after a smaller one", {{290.0f, 40}, {300.0f, 50}, {300.0f, 80}}, 2, 2},
      {"one single-precision step larger wins", {{300.0f, 40}, {std::nextafter(300.0f, 400.0f), 40}}, 2, 2},
      {"increasing azimuths", {{280.0f, 40}, {290.0f, 40}, {300.0f, 40}, {310.0f, 40}}, 4, 4},
      {"decreasing azimuths", {{310.0f, 40}, {300.0f, 40}, {290.0f, 40}, {280.0f, 40}}, 1, 1},
      {"mixed order", {{280.0f, 40}, {320.0f, 40}, {300.0f, 40}, {330.0f, 40}, {290.0f, 40}}, 4, 3},
      {"ineligible rows neither win nor count",
       {{280.0f, 40}, {340.0f, 20}, {350.0f, 40, 1}, {359.0f, 80}, {300.0f, 40}}, 5, 2},
      {"a chosen row is skipped however high", {{350.0f, 89, 1}, {300.0f, 35}}, 2, 1},
      {"every row already chosen", {{300.0f, 40, 1}, {310.0f, 40, 1}}, 0, 0},
      {"west, north-east and the last 7.5 degrees are never chosen",
       {{0.5f, 89}, {90.0f, 89}, {180.0f, 89}, {200.0f, 89}, {269.9f, 89}, {352.6f, 89}, {359.9f, 89},
        {360.0f, 89}, {271.0f, 31}}, 9, 1},
      {"not a number is never eligible", {{std::nanf(""), 60}, {300.0f, std::nan("")}}, 0, 0},
      {"minAltitude -10", {{300.0f, -5.0}, {290.0f, 10.0}}, 1, 1, -10.0},
      {"minAltitude 0", {{300.0f, -5.0}, {290.0f, 10.0}}, 2, 1, 0.0},
      {"minAltitude 10", {{300.0f, -5.0}, {290.0f, 10.0}}, 0, 0, 10.0},
  };
  for (const auto& c : cases) {
    TargetTable table = tableOf(c.rows);
    ScanResult result = scanTargets(table, c.minAltitude);
    EXPECT_EQ(result.chosenRow, c.chosenRow) << c.what;
    EXPECT_EQ(result.candidateCount, c.candidateCount) << c.what;
  }
}

TEST(TargetScan, OnlyFilledRowsAgainstAResetReferenceAndNoStateChanges) {
  TargetTable table = tableOf({{300.0f, 40}, {280.0f, 40, 1}});
  table.azDeg[0] = 400.0f;  // left over from elsewhere: must not block the choice
  table.azDeg[3] = 340.0f;  // beyond targetCount
  table.altDeg[3] = 60.0;
  ScanResult result = scanTargets(table, minAltitude);
  EXPECT_EQ(result.chosenRow, 1);
  EXPECT_EQ(result.candidateCount, 1);
  EXPECT_EQ(table.azDeg[0], 0.0f);
  EXPECT_EQ(table.targetState[1], 0) << "the scan marks nothing; the night does, after the log record";
  EXPECT_EQ(table.targetState[2], 1);
}

}  // namespace
}  // namespace vantrel
