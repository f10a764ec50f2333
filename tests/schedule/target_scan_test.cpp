// The positions of every row for one clock sample, the scan that chooses the
// next row on positions set by hand, and the pass over candidates only.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "astro/koudo_keisan_1950.h"
#include "schedule/target_scan.h"

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

constexpr double pi = 3.14159265358979323846;
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

// Leaving out the rows that cannot be chosen must never change a pass: the
// same chosen row and candidateCount, and the same bits for every row that
// may be chosen, over random tables, sites and instants, with rows on the
// edges of the window, on the meridian and at the poles.
TEST(CandidatePositions, LeavingOutRowsThatCannotBeChosenNeverChangesAPass) {
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> unit(0, 1);
  int chosenPasses = 0, edgeRows = 0, leftOut = 0;
  for (int pass = 0; pass < 200; ++pass) {
    SiteConfig config;
    const double latitudes[] = {35.5, -33.9, 0, 89.9, -90, 90, 60};
    config.siteLatitude = pass % 3 == 0 ? latitudes[pass % 7] : unit(random) * 180 - 90;
    config.siteLongitude = unit(random) * 360 - 180;
    const double minAltitudes[] = {30, 0, -5, 10, 85};
    config.minAltitude = minAltitudes[pass % 5];
    char date[16], time[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", 1990 + pass % 60, 1 + pass % 12, 1 + pass % 28);
    std::snprintf(time, sizeof time, "%02d:%02d:00", static_cast<int>(unit(random) * 24),
                  static_cast<int>(unit(random) * 60));
    ClockSample sample = sampleClock(date, time);
    const double thetaDeg = localSiderealAngle(sample, config.siteLongitude) * 180 / pi;

    TargetTable table;
    table.targetCount = 2700;
    for (int row = 1; row <= table.targetCount; ++row) {
      double ra = unit(random) * 360, dec = std::asin(unit(random) * 2 - 1) * 180 / pi;
      switch (row % 10) {
        case 0: dec = (row / 10) % 2 ? 90 : -90; break;                      // the poles
        case 1: dec = (row / 10) % 2 ? 89.9999999 : 90.0000001; break;       // cos(delta) either side of 0
        case 2: ra = thetaDeg + (unit(random) - 0.5) * 1e-4; break;          // on the meridian
        case 3: ra = thetaDeg + 180 + (unit(random) - 0.5) * 1e-4; break;    // below the pole
        case 4: ra = thetaDeg - 57.2957795 * 1e-6 * (unit(random) * 4 - 2); break;  // at the west margin
        case 5: ra += 360 * (row % 7 - 3); break;                           // right ascensions not reduced
        case 7:  // near the zenith, a hair east of the meridian: any azimuth
          ra = thetaDeg + unit(random) * 1e-3;
          dec = config.siteLatitude + (unit(random) - 0.5) * 2e-3;
          break;
        default: break;
      }
      table.raDeg[row] = ra;
      table.decDeg[row] = dec;
      table.targetState[row] = unit(random) < 0.1 ? 1 : 0;
    }
    PositionPass full, candidates;
    TargetTable every = table;
    computePositions(every, config, sample, full, PositionsOf::everyRow);
    // Rows on the window's edges: for a declination, the hour angle east of
    // the meridian where the azimuth crosses 270 or 352.5, found by halving.
    auto azimuthAt = [&](double raDeg, double decDeg) {
      return koudo_keisan_1950(raDeg, decDeg, config.siteLatitude, config.siteLongitude, sample).outAz;
    };
    for (int row = 6; row <= table.targetCount; row += 10) {
      const double edge = (row / 10) % 2 ? 270.0 : 352.5;
      const double dec = table.decDeg[row];
      for (int k = 1; k < 64; ++k) {
        // Hour angles -180 + 2.8 k degrees; right ascension theta - H.
        double lo = thetaDeg + 180 - 2.8125 * (k - 1), hi = thetaDeg + 180 - 2.8125 * k;
        if ((azimuthAt(lo, dec) - edge) * (azimuthAt(hi, dec) - edge) > 0) continue;
        for (int i = 0; i < 60; ++i) {
          double mid = (lo + hi) / 2;
          ((azimuthAt(mid, dec) - edge) * (azimuthAt(lo, dec) - edge) > 0 ? lo : hi) = mid;
        }
        table.raDeg[row] = (row / 20) % 2 ? lo : hi;
        edgeRows += std::fabs(azimuthAt(table.raDeg[row], dec) - edge) < 1e-3;
        break;
      }
    }
    every = table;
    computePositions(every, config, sample, full, PositionsOf::everyRow);
    if (pass % 2 == 0) {
      for (int row = 1; row <= table.targetCount; ++row) {
        if (inChoiceWindow(every, row, config.minAltitude) && table.targetState[row] == 0) {
          config.minAltitude = every.altDeg[row];  // that row now stands exactly at the minimum
          break;
        }
      }
    }

    TargetTable some = table;
    computePositions(some, config, sample, candidates, PositionsOf::candidates);
    ScanResult want = scanTargets(every, config.minAltitude);
    ScanResult got = scanTargets(some, config.minAltitude);
    ASSERT_EQ(got.chosenRow, want.chosenRow) << "pass " << pass;
    ASSERT_EQ(got.candidateCount, want.candidateCount) << "pass " << pass;
    chosenPasses += want.chosenRow > 0;
    for (int row = 1; row <= table.targetCount; ++row) {
      bool mayBeChosen = table.targetState[row] == 0 && inChoiceWindow(every, row, config.minAltitude);
      bool computed = some.altDeg[row] != -90.0 || some.azDeg[row] != 0.0f;
      leftOut += !computed;
      if (mayBeChosen) {
        ASSERT_TRUE(computed) << "pass " << pass << " row " << row << " az " << every.azDeg[row];
      }
      if (computed) {
        ASSERT_EQ(std::bit_cast<std::uint32_t>(some.azDeg[row]), std::bit_cast<std::uint32_t>(every.azDeg[row]));
        ASSERT_EQ(std::bit_cast<std::uint64_t>(some.altDeg[row]), std::bit_cast<std::uint64_t>(every.altDeg[row]));
      }
    }
  }
  EXPECT_GT(chosenPasses, 50) << "the passes chose something";
  EXPECT_GT(edgeRows, 10000) << "rows stood on the window's edges";
  EXPECT_GT(leftOut, 200 * 2700 / 2) << "more than half the rows were left out";
}

}  // namespace
}  // namespace vantrel
