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

// Row 0 and the row after the last hold an eligible position that the scan must not see.
TargetTable tableOf(const std::vector<Row>& rows) {
  TargetTable table;
  for (const Row& r : rows) {
    const int i = ++table.targetCount;
    table.azDeg[i] = r.azDeg, table.altDeg[i] = r.altDeg, table.targetState[i] = r.targetState;
  }
  table.azDeg[0] = 400.0f;
  table.azDeg[table.targetCount + 1] = 340.0f, table.altDeg[table.targetCount + 1] = 60.0;
  return table;
}

constexpr double pi = 3.14159265358979323846;

// Eligible: 270 < azimuth < 352.5, altitude above minAltitude, state 0. The largest azimuth wins, the lower
// row on a tie; the count is of the times a better row replaced the one held. Row 0 becomes the reference 0,
// and the scan marks nothing: the night does, after the log record.
TEST(TargetScan, ChoosesTheEligibleRowNearestTheMeridianAndCountsReplacements) {
  const float above270 = std::nextafter(270.0f, 360.0f), below352_5 = std::nextafter(352.5f, 0.0f);
  const double aboveMin = std::nextafter(30.0, 90.0);
  const struct {
    std::vector<Row> rows;
    int chosenRow, candidateCount;
    double minAltitude = 30.0;
  } cases[] = {
      {{}, 0, 0},
      {{{270.0f, 60}}, 0, 0},
      {{{352.5f, 60}}, 0, 0},
      {{{300.0f, 30.0}}, 0, 0},
      {{{above270, aboveMin}, {below352_5, aboveMin}}, 2, 2},
      {{{300.0f, 40}, {300.0f, 80}}, 1, 1},
      {{{290.0f, 40}, {300.0f, 50}, {300.0f, 80}}, 2, 2},
      {{{300.0f, 40}, {std::nextafter(300.0f, 400.0f), 40}}, 2, 2},
      {{{280.0f, 40}, {290.0f, 40}, {300.0f, 40}, {310.0f, 40}}, 4, 4},
      {{{310.0f, 40}, {300.0f, 40}, {290.0f, 40}, {280.0f, 40}}, 1, 1},
      {{{280.0f, 40}, {320.0f, 40}, {300.0f, 40}, {330.0f, 40}, {290.0f, 40}}, 4, 3},
      {{{280.0f, 40}, {340.0f, 20}, {350.0f, 40, 1}, {359.0f, 80}, {300.0f, 40}}, 5, 2},
      {{{350.0f, 89, 1}, {300.0f, 35}}, 2, 1},
      {{{300.0f, 40, 1}, {310.0f, 40, 1}}, 0, 0},
      {{{0.5f, 89}, {90.0f, 89}, {180.0f, 89}, {269.9f, 89}, {352.6f, 89}, {360.0f, 89}, {271.0f, 31}}, 7, 1},
      {{{std::nanf(""), 60}, {300.0f, std::nan("")}}, 0, 0},
      {{{300.0f, -5.0}, {290.0f, 10.0}}, 1, 1, -10.0},
      {{{300.0f, -5.0}, {290.0f, 10.0}}, 2, 1, 0.0},
      {{{300.0f, -5.0}, {290.0f, 10.0}}, 0, 0, 10.0},
  };
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    SCOPED_TRACE("row " + std::to_string(k));
    const auto& c = cases[k];
    TargetTable table = tableOf(c.rows);
    const ScanResult result = scanTargets(table, c.minAltitude);
    EXPECT_EQ(result.chosenRow, c.chosenRow);
    EXPECT_EQ(result.candidateCount, c.candidateCount);
    EXPECT_EQ(table.azDeg[0], 0.0f);
    for (std::size_t i = 0; i < c.rows.size(); ++i) EXPECT_EQ(table.targetState[i + 1], c.rows[i].targetState);
  }
}

// Every row of a pass gets the bits of koudo_keisan_1950, rows 1..targetCount and nothing else, from a new
// pass each time (the first site on the equator finds a latitude with the bits of a pass not yet built for
// any). Leaving out the rows that cannot be chosen must never change a pass: the same chosen row and count,
// and the same bits for every row that may be chosen, over random tables, sites and instants, with rows on
// the edges of the window, on the meridian and at the poles.
TEST(CandidatePositions, EveryRowAsTheRoutineAndLeavingOutRowsThatCannotBeChosenNeverChangesAPass) {
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> unit(0, 1);
  const double latitudes[] = {0, 35.5, -33.9, 89.9, -90, 90, 60}, minAltitudes[] = {30, 0, -5, 10, 85};
  int chosenPasses = 0, edgeRows = 0, leftOut = 0;
  for (int pass = 0; pass < 200; ++pass) {
    SiteConfig config;
    config.siteLatitude = pass % 3 == 0 ? latitudes[pass % 7] : unit(random) * 180 - 90;
    config.siteLongitude = unit(random) * 360 - 180;
    config.minAltitude = minAltitudes[pass % 5];
    char date[16], time[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", 1990 + pass % 60, 1 + pass % 12, 1 + pass % 28);
    std::snprintf(time, sizeof time, "%02d:%02d:00", int(unit(random) * 24), int(unit(random) * 60));
    const ClockSample sample = sampleClock(date, time);
    const double thetaDeg = localSiderealAngle(sample, config.siteLongitude) * 180 / pi;
    auto position = [&](double raDeg, double decDeg) {
      return koudo_keisan_1950(raDeg, decDeg, config.siteLatitude, config.siteLongitude, sample);
    };
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
          const auto side = [&](double r) { return position(r, dec).outAz > edge; };
          double lo = thetaDeg + 180, hi = thetaDeg + 1e-7;
          if (side(lo) == side(hi)) break;
          for (int i = 0; i < 60; ++i) ((side((lo + hi) / 2) == side(lo)) ? lo : hi) = (lo + hi) / 2;
          ra = (row / 20) % 2 ? lo : hi;
          edgeRows += std::fabs(position(ra, dec).outAz - edge) < 1e-3;
          break;
        }
        case 7: ra = thetaDeg + unit(random) * 1e-3, dec = config.siteLatitude + (unit(random) - 0.5) * 2e-3; break;
        default: break;
      }
      table.raDeg[row] = ra, table.decDeg[row] = dec, table.targetState[row] = unit(random) < 0.1 ? 1 : 0;
    }
    PositionPass full, candidates;
    TargetTable every = table, some = table;
    computePositions(every, config, sample, full, PositionsOf::everyRow);
    ASSERT_TRUE(every.azDeg[0] == 123.0f && every.azDeg[2700] == 123.0f && every.altDeg[2700] == 45.0);
    for (int row = 1; row <= table.targetCount; ++row) {
      const HorizontalPosition want = position(table.raDeg[row], table.decDeg[row]);
      ASSERT_TRUE(std::bit_cast<std::uint32_t>(every.azDeg[row]) == std::bit_cast<std::uint32_t>(want.outAz) &&
                  std::bit_cast<std::uint64_t>(every.altDeg[row]) == std::bit_cast<std::uint64_t>(want.outAlt))
          << "pass " << pass << " row " << row << ": az " << every.azDeg[row] << " alt " << every.altDeg[row]
          << ", want " << want.outAz << " " << want.outAlt;
    }
    for (int row = 1; pass % 2 == 0 && row <= table.targetCount; ++row) {
      if (inChoiceWindow(every, row, config.minAltitude) && table.targetState[row] == 0) {
        config.minAltitude = every.altDeg[row];  // that row now stands exactly at the minimum
        break;
      }
    }
    computePositions(some, config, sample, candidates, PositionsOf::candidates);
    ASSERT_TRUE(some.azDeg[0] == 123.0f && some.azDeg[2700] == 123.0f && some.altDeg[2700] == 45.0);
    const ScanResult want = scanTargets(every, config.minAltitude), got = scanTargets(some, config.minAltitude);
    ASSERT_TRUE(got.chosenRow == want.chosenRow && got.candidateCount == want.candidateCount) << "pass " << pass;
    chosenPasses += want.chosenRow > 0;
    for (int row = 1; row <= table.targetCount; ++row) {
      const bool computed = some.altDeg[row] != -90.0 || some.azDeg[row] != 0.0f;
      leftOut += !computed;
      ASSERT_TRUE(computed || table.targetState[row] != 0 || !inChoiceWindow(every, row, config.minAltitude))
          << "pass " << pass << " row " << row << " az " << every.azDeg[row];
      ASSERT_TRUE(!computed || (some.azDeg[row] == every.azDeg[row] && some.altDeg[row] == every.altDeg[row]))
          << "pass " << pass << " row " << row;
    }
  }
  EXPECT_GT(chosenPasses, 50) << "the passes chose something";
  EXPECT_GT(edgeRows, 10000) << "rows stood on the window's edges";
  EXPECT_GT(leftOut, 200 * 2699 / 2) << "more than half the rows were left out";
}

}  // namespace
}  // namespace vantrel
