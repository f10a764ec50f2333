// Tonight's plan: the same pointings the rehearsal observes, and the rows it
// never observes with the reason.
#include "night/night_plan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "night/preflight.h"
#include "status/night_status.h"
#include "support/night_files.h"

namespace vantrel::testing {
namespace {

using ::testing::HasSubstr;

// "date time row" of every target record of the expected rehearsal log.
std::vector<std::string> goldenPointings() {
  std::vector<std::string> out;
  for (const std::string& line : logRecords(goldenExamplesLog())) {
    if (line.find(" AL=") == std::string::npos) continue;
    std::istringstream fields(line.substr(line.size() - 12));
    std::vector<std::string> words;
    for (std::string w; fields >> w;) words.push_back(w);
    out.push_back(line.substr(0, 19) + " " + words[words.size() - 2]);
  }
  return out;
}

TEST(NightPlan, ExamplesListWhatTheRehearsalObservesAndWhyTheRestIsNot) {
  MemoryFileStore files = examplesStore();
  NightPlan plan = planNight(civil("2026-12-06T18:00"), files);
  EXPECT_EQ(files.files.size(), 2u) << "the plan writes no file";

  std::vector<std::string> planned;
  std::set<int> observed;
  for (const PlannedPointing& p : plan.pointings) {
    ClockReading at = civilReading(p.gotoSeconds * 1000);
    planned.push_back(at.dateText + " " + at.timeText + " " + std::to_string(p.row));
    EXPECT_EQ(p.dwellEndSeconds - p.gotoSeconds, 600) << "row " << p.row;
    observed.insert(p.row);
  }
  EXPECT_EQ(planned, goldenPointings());

  std::vector<int> never;
  for (const NeverObservedRow& n : plan.neverObserved) {
    never.push_back(n.row);
    EXPECT_EQ(observed.count(n.row), 0u);
    // M81 and M82 never rise into the window from latitude 35.5.
    if (n.targetName.rfind("M8", 0) == 0) {
      EXPECT_EQ(n.reason, NeverObservedReason::neverInWindow) << n.targetName;
    }
  }
  EXPECT_EQ(never.size() + observed.size(), 56u);
  EXPECT_EQ(plan.endSeconds(), civilSeconds("2026-12-07", "05:01:00"));

  std::string table = planTable(plan);
  EXPECT_THAT(table, HasSubstr("  18:00:05  18:10:05    13  295.03  30.33  M77 0240.1"));
  EXPECT_THAT(table, HasSubstr("  18:30:05  18:58:00        (waiting: no target in the window)"));
  EXPECT_THAT(table, HasSubstr("41 of 56 targets observed; night ended 2026-12-07 05:01:00 by the clock"));
  EXPECT_THAT(table, HasSubstr("row   45  M81 0951.5 +6918.0 Bode's Galaxy (never in the window from here) "
                               "000010000: never in the window (azimuth 270 to 352.5, above 30 degrees)"));
}

// The picture: a bar per pointing with its row and times, a lane per line,
// and names that cannot break the markup.
// The check before a night says what the night will do at its end.
TEST(Preflight, SaysWhetherTheNightParks) {
  for (auto [parkEnabled, says] : {std::pair{1.0, "park at the end of the night: yes (parkEnabled 1)\n"},
                                   {2.0, "park at the end of the night: no (parkEnabled 2)\n"}}) {
    IniValues ini;
    ini.parkEnabled = parkEnabled;
    MemoryFileStore files = nightStore(ini, "");
    EXPECT_THAT(preflightReport(files, civil("2026-12-06T18:00")).text, HasSubstr(says));
  }
}

TEST(NightPlan, PictureHasABarPerPointingAndSafeNames) {
  IniValues ini;
  ini.dwellMinutes = 5;
  std::string date = "2026-12-07", time = "03:00";
  std::string near = targetLine("A&B ", raHoursAtAzimuth(date, time, 10.0, 330.0), 10.0);
  near.replace(near.size() - 9, 9, "000011000");  // the base row and one neighbour: two bars on one lane
  std::string adf = near + "\r\n" + targetLine("<x>\x01", raHoursAtAzimuth(date, time, -60.0, 320.0), -60.0) + "\r\n";
  MemoryFileStore files = nightStore(ini, adf);
  NightPlan plan = planNight(civil("2026-12-07T03:00"), files);
  ASSERT_EQ(plan.pointings.size(), 2u);
  std::string svg = planSvg(plan);
  EXPECT_THAT(svg, HasSubstr("<title>row 1 03:00:00 to 03:05:00</title>"));
  EXPECT_THAT(svg, HasSubstr("<title>row 2 03:05:00 to 03:10:00</title>"));
  EXPECT_THAT(svg, HasSubstr(">A&amp;B target</text>"));
  EXPECT_THAT(svg, HasSubstr("row 3  &lt;x&gt;? target: never in the window"));
  EXPECT_EQ(svg.find("<x>"), std::string::npos);
  EXPECT_EQ(svg.find('\x01'), std::string::npos);
}

}  // namespace
}  // namespace vantrel::testing
