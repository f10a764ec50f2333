// The scan that chooses the next row, on positions set by hand; then the
// pass over candidates only, against the pass over every row.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "astro/koudo_keisan_1950.h"
#include "schedule/target_scan.h"

namespace vantrel {
namespace {

// Eligible: 270 < azimuth < 352.5, altitude above minAltitude, state 0. The largest azimuth wins, the lower
// row on a tie; the count is of the times a better row replaced the one held. Row 0 becomes the reference 0
// and the eligible row after the last is never seen. The scan marks nothing: the night does, after the log
// record.
TEST(TargetScan, ChoosesTheEligibleRowNearestTheMeridianAndCountsReplacements) {
  struct Row { float azDeg; double altDeg; std::int16_t state = 0; };
  const float above270 = std::nextafter(270.0f, 360.0f), below352_5 = std::nextafter(352.5f, 0.0f);
  const double aboveMin = std::nextafter(30.0, 90.0);
  const struct { std::vector<Row> rows; int chosenRow, candidateCount; double minAltitude = 30.0; } cases[] = {
      {{}, 0, 0},
      {{{270.0f, 60}}, 0, 0},
      {{{352.5f, 60}}, 0, 0},
      {{{300.0f, 30.0}}, 0, 0},
      {{{above270, aboveMin}, {below352_5, aboveMin}}, 2, 2},
      {{{300.0f, 40}, {300.0f, 80}}, 1, 1},
      {{{290.0f, 40}, {300.0f, 50}, {300.0f, 80}}, 2, 2},
      {{{300.0f, 40}, {std::nextafter(300.0f, 400.0f), 40}}, 2, 2},
      {{{280.0f, 40}, {320.0f, 40}, {300.0f, 40}, {330.0f, 40}, {290.0f, 40}}, 4, 3},
      {{{280.0f, 40}, {340.0f, 20}, {350.0f, 40, 1}, {359.0f, 80}, {300.0f, 40}}, 5, 2},
      {{{std::nanf(""), 60}, {300.0f, std::nan("")}}, 0, 0},
      {{{300.0f, -5.0}, {290.0f, 10.0}}, 1, 1, -10.0},
      {{{300.0f, -5.0}, {290.0f, 10.0}}, 0, 0, 10.0},
  };
  for (const auto& c : cases) {
    TargetTable table;
    table.azDeg[0] = 400.0f;
    for (const Row& r : c.rows) {
      const int i = ++table.targetCount;
      table.azDeg[i] = r.azDeg, table.altDeg[i] = r.altDeg, table.targetState[i] = r.state;
    }
    table.azDeg[table.targetCount + 1] = 340.0f, table.altDeg[table.targetCount + 1] = 60.0;
    const ScanResult result = scanTargets(table, c.minAltitude);
    EXPECT_TRUE(result.chosenRow == c.chosenRow && result.candidateCount == c.candidateCount && table.azDeg[0] == 0)
        << "case " << &c - cases << ": row " << result.chosenRow << ", count " << result.candidateCount;
    for (std::size_t i = 0; i < c.rows.size(); ++i) EXPECT_EQ(table.targetState[i + 1], c.rows[i].state);
  }
}

// Leaving out the rows that cannot be chosen must never change a pass: the same chosen row and count, and the
// same bits for every row that may be chosen, over random tables, sites and instants, with rows on the edges
// of the window, on the meridian and at the poles; rows 1..targetCount and nothing else are written. (That
// the pass over every row gives the routine's bits is the position pass's own test.)
TEST(CandidatePositions, LeavingOutRowsThatCannotBeChosenNeverChangesAPass) {
  constexpr double pi = 3.14159265358979323846;
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> unit(0, 1);
  const double latitudes[] = {0, 35.5, -33.9, 89.9, -90, 90, 60}, minAltitudes[] = {30, 0, -5, 10, 85};
  int leftOut = 0;
  for (int pass = 0; pass < 200; ++pass) {
    SiteConfig config{.siteLongitude = unit(random) * 360 - 180,
                      .siteLatitude = pass % 3 == 0 ? latitudes[pass % 7] : unit(random) * 180 - 90,
                      .minAltitude = minAltitudes[pass % 5]};
    char date[16], time[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", 1990 + pass % 60, 1 + pass % 12, 1 + pass % 28);
    std::snprintf(time, sizeof time, "%02d:%02d:00", int(unit(random) * 24), int(unit(random) * 60));
    const ClockSample sample = sampleClock(date, time);
    const double thetaDeg = localSiderealAngle(sample, config.siteLongitude) * 180 / pi;
    TargetTable table;
    table.targetCount = 2699;
    table.azDeg[0] = table.azDeg[2700] = 123.0f, table.altDeg[2700] = 45.0;  // not rows of the pass
    for (int row = 1; row <= table.targetCount; ++row) {
      double ra = unit(random) * 360, dec = std::asin(unit(random) * 2 - 1) * 180 / pi;
      const bool odd = (row / 10) % 2;
      switch (row % 10) {
        case 0: dec = odd ? 90 : -90; break;                                          // the poles
        case 1: dec = odd ? 89.9999999 : 90.0000001; break;                           // cos(delta) either side of 0
        case 2: ra = thetaDeg + (unit(random) - 0.5) * 1e-4; break;                   // on the meridian
        case 3: ra = thetaDeg + 180 + (unit(random) - 0.5) * 1e-4; break;             // below the pole
        case 4: ra = thetaDeg - 57.2957795 * 1e-6 * (unit(random) * 4 - 2); break;    // at the west margin
        case 5: ra += 360 * (row % 7 - 3); break;                                     // not reduced
        case 6: {  // on the edge 270 or 352.5, found by halving the hour angle east of the meridian
          const double edge = odd ? 270.0 : 352.5;
          const auto side = [&](double r) {
            return koudo_keisan_1950(r, dec, config.siteLatitude, config.siteLongitude, sample).outAz > edge;
          };
          double lo = thetaDeg + 180, hi = thetaDeg + 1e-7;
          if (side(lo) == side(hi)) break;
          for (int i = 0; i < 60; ++i) ((side((lo + hi) / 2) == side(lo)) ? lo : hi) = (lo + hi) / 2;
          ra = (row / 20) % 2 ? lo : hi;
          break;
        }
        case 7: ra = thetaDeg + unit(random) * 1e-3, dec = config.siteLatitude + (unit(random) - 0.5) * 2e-3; break;
      }
      table.raDeg[row] = ra, table.decDeg[row] = dec, table.targetState[row] = unit(random) < 0.1 ? 1 : 0;
    }
    PositionPass full, candidates;
    TargetTable every = table, some = table;
    computePositions(every, config, sample, full, PositionsOf::everyRow);
    for (int row = 1; pass % 2 == 0 && row <= table.targetCount; ++row) {
      if (!inChoiceWindow(every, row, config.minAltitude) || table.targetState[row] != 0) continue;
      config.minAltitude = every.altDeg[row];  // that row now stands exactly at the minimum
      break;
    }
    computePositions(some, config, sample, candidates, PositionsOf::candidates);
    for (const TargetTable* t : {&every, &some})
      ASSERT_TRUE(t->azDeg[0] == 123.0f && t->azDeg[2700] == 123.0f && t->altDeg[2700] == 45.0) << "pass " << pass;
    const ScanResult want = scanTargets(every, config.minAltitude), got = scanTargets(some, config.minAltitude);
    ASSERT_TRUE(got.chosenRow == want.chosenRow && got.candidateCount == want.candidateCount) << "pass " << pass;
    for (int row = 1; row <= table.targetCount; ++row) {
      const bool computed = some.altDeg[row] != -90.0 || some.azDeg[row] != 0.0f;
      leftOut += !computed;
      ASSERT_TRUE(computed || table.targetState[row] != 0 || !inChoiceWindow(every, row, config.minAltitude))
          << "pass " << pass << " row " << row << " az " << every.azDeg[row];
      ASSERT_TRUE(!computed || (some.azDeg[row] == every.azDeg[row] && some.altDeg[row] == every.altDeg[row]))
          << "pass " << pass << " row " << row;
    }
  }
  EXPECT_GT(leftOut, 200 * 2699 / 2) << "more than half the rows were left out";
}

}  // namespace
}  // namespace vantrel
