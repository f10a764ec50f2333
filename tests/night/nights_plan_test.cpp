// Plans of several nights (and tonight's): each night is exactly its own
// rehearsal, and the table and the spreadsheet say which pointing is observed
// on which night.
#include "night/nights_plan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/fault.h"
#include "platform/stop_request.h"
#include "support/full_table.h"
#include "support/night_files.h"

namespace vantrel::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr std::int64_t msPerDay = 86400000;

// A window with a sky chart: the rehearsal then computes every row in every
// pass, where a plan computes only the rows that may be chosen.
struct SkyWindow : RecordingWindow {
  bool wantsSky() const override { return true; }
};

TEST(NightsPlan, AMonthIsThirtyRehearsalsLogByLog) {
  IniValues ini;
  ini.latitude = 35.5;
  ini.longitude = 139.5;
  ini.minAltitude = 30;
  ini.dwellMinutes = 10;
  ini.nightEnd = {5, 4.75, 4.25, 3.75, 3.25, 3, 3.25, 3.75, 4.25, 4.75, 5.1, 5.2};
  MemoryFileStore files = nightStore(ini, fullTargetList());
  const std::int64_t start = civil("2026-12-20T17:00");
  NightsPlan plan = planNights(start, 30, files, 2);
  ASSERT_EQ(plan.nights.size(), 30u);
  EXPECT_EQ(files.files.size(), 2u) << "a plan writes no file";
  for (int night = 0; night < 30; ++night) {
    MemoryFileStore alone = files;
    SkyWindow window;
    StopRequest stop;
    RehearsalResult rehearsal = rehearseNight(start + night * msPerDay, window, alone, stop);
    const RehearsalResult& planned = plan.nights[static_cast<std::size_t>(night)].rehearsal;
    ASSERT_EQ(planned.log, alone.files[rehearsal.logFileName]) << "night " << night + 1;
    EXPECT_EQ(describeRehearsal(planned), describeRehearsal(rehearsal)) << "night " << night + 1;
    EXPECT_GT(planned.outcome.observedCount, 50) << "night " << night + 1;
  }
  EXPECT_NE(plan.nights[0].rehearsal.log.substr(20, 200), plan.nights[29].rehearsal.log.substr(20, 200));
}

// Two lines in the window together where one dwell fits before the night
// ends, and one that never rises into it: the other one of the two was
// beaten, not out of reach. Tonight, and over two nights.
TEST(NightsPlan, TableAndSpreadsheetTellTheNightsOfEachPointingAndWhyNot) {
  IniValues ini;
  ini.dwellMinutes = 20;
  std::string date = "2026-12-07", time = "04:15";
  std::string adf = "# a comment line is no target\r\n" +
                    targetLine("NEAR", raHoursAtAzimuth(date, time, 10.0, 330.0), 10.0) + "\r\n" +
                    targetLine("FAR ", raHoursAtAzimuth(date, time, 10.0, 300.0), 10.0) + " \"x, y\"\r\n" +
                    targetLine("LOW ", raHoursAtAzimuth(date, time, -60.0, 320.0), -60.0) + "\r\n";
  MemoryFileStore files = nightStore(ini, adf);
  NightPlan tonight = planNight(civil("2026-12-07T04:15"), files);
  ASSERT_EQ(tonight.pointings.size(), 1u);
  EXPECT_EQ(tonight.pointings[0].row, 1);
  ASSERT_EQ(tonight.neverObserved.size(), 2u);
  EXPECT_EQ(tonight.neverObserved[0].row, 2);
  EXPECT_EQ(tonight.neverObserved[0].reason, NeverObservedReason::alwaysBeaten);
  EXPECT_EQ(tonight.neverObserved[0].passesInWindow, 1);
  EXPECT_EQ(neverObservedText(tonight.neverObserved[0], tonight.config),
            "always beaten by a row nearer the meridian (in the window at 1 pass)");
  EXPECT_EQ(tonight.neverObserved[1].reason, NeverObservedReason::neverInWindow);

  NightsPlan plan = planNights(civil("2026-12-07T04:15"), 2, files);
  ASSERT_EQ(plan.lines.size(), 3u);
  EXPECT_EQ(plan.lines[0].fileLine, 2);

  std::string table = nightsTable(plan);
  EXPECT_THAT(table, HasSubstr("Night 2, rehearsed from 2026-12-08 04:15:00:\n"));
  EXPECT_THAT(table, HasSubstr("  line    2  1/1  NEAR"));
  EXPECT_THAT(table, HasSubstr("#1: 1,2\n"));
  EXPECT_THAT(table, HasSubstr("2 list lines never observed in the period:\n"));
  EXPECT_THAT(table, HasSubstr("  line    3  FAR "));
  EXPECT_THAT(table, HasSubstr("always beaten by a row nearer the meridian (in the window at 2 passes over the "
                               "period)\n  line    4  LOW "));
  EXPECT_THAT(table, HasSubstr("never in the window (azimuth 270 to 352.5, above 10 degrees) at any pass of any "
                               "night\n"));

  std::vector<std::string> csv = logRecords(nightsCsv(plan));
  ASSERT_EQ(csv.size(), 4u);
  EXPECT_EQ(csv[0], "line,pointing,row,target,ra_deg,dec_deg,nights_observed,2026-12-07,2026-12-08,reason");
  EXPECT_THAT(csv[1], StartsWith("2,1,1,NEAR"));
  EXPECT_THAT(csv[1], HasSubstr(",10.000000,2,04:15:00,04:15:00,"));
  EXPECT_THAT(csv[2], HasSubstr(" \"\"x, y\"\"\",")) << "a name with a comma and quotes is quoted";
  EXPECT_THAT(csv[3], HasSubstr(",0,,,\"never in the window (azimuth 270 to 352.5, above 10 degrees)"));
}

TEST(NightsPlan, NightsInRanges) {
  const struct {
    std::vector<int> nights;
    const char* text;
  } cases[] = {{{}, ""}, {{4}, "4"}, {{1, 2}, "1,2"}, {{1, 2, 3}, "1-3"}, {{1, 3, 4, 5, 7, 8, 30}, "1,3-5,7,8,30"}};
  for (const auto& c : cases) EXPECT_EQ(nightRanges(c.nights), c.text);
}

TEST(NightsPlan, ABadFileFailsOnceAsTheNightWould) {
  MemoryFileStore files = nightStore(IniValues{}, "short\r\n");
  try {
    planNights(civil("2026-12-07T18:00"), 30, files);
    FAIL() << "no fault";
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.status(), ExitStatus::inputFile);
    EXPECT_THAT(fault.what(), HasSubstr("vantrel.adf line 1"));
  }
}

}  // namespace
}  // namespace vantrel::testing
