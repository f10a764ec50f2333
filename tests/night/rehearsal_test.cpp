// Rehearsals: whole nights on the simulated clock and mount, from files to log.
#include "night/rehearsal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "platform/stop_request.h"
#include "support/full_table.h"
#include "support/night_files.h"

namespace vantrel::testing {
namespace {

using ::testing::_;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Matcher;
using ::testing::ResultOf;
using ::testing::StartsWith;

RehearsalResult rehearse(MemoryFileStore& files, const char* start) {
  RecordingWindow window;
  StopRequest stop;
  return rehearseNight(civil(start), window, files, stop);
}

TEST(Rehearsal, ExamplesGiveTheExpectedLogTwiceInARowAndLeaveTheRealLogAlone) {
  MemoryFileStore files = examplesStore();
  files.files["log2026-12-06.txt"] = "what the telescope really did\r\n";
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run + 1));
    RehearsalResult result = rehearse(files, "2026-12-06T18:00");
    EXPECT_EQ(files.files["rehearsal-log2026-12-06.txt"], goldenExamplesLog());
    EXPECT_EQ(describeRehearsal(result),
              "41 of 56 targets observed; night ended 2026-12-07 05:01:00 by the clock; park command sent, acknowledged");
  }
  EXPECT_EQ(files.files["log2026-12-06.txt"], "what the telescope really did\r\n");
}

// Short nights that end in other ways. Each leaves only its inputs and the
// rehearsal log named after the starting date.
TEST(Rehearsal, OtherEndings) {
  IniValues limit20, neverEnds;
  limit20.decLimit = 20;
  neverEnds.nightEnd = std::vector<double>(12, 6.0);
  struct Case {
    const char* description;
    std::optional<IniValues> ini;  // none: the examples
    std::string adf;
    const char* start;
    NightEnd wantEnd;
    Matcher<std::vector<std::string>> wantLog;
    Matcher<std::string> wantDescription;
  };
  auto lastTwo = [](const std::vector<std::string>& log) {
    return std::vector<std::string>(log.end() - std::min<std::size_t>(2, log.size()), log.end());
  };
  const Case cases[] = {
      // 30 degrees travel as 5461 units of 1/65536 turn and come back as 29.998...
      {"the declination limit", limit20,
       targetLine("HIGH", raHoursAtAzimuth("2026-12-06", "18:00", 30.0, 320.0), 30.0) + "\r\n", "2026-12-06T18:00",
       NightEnd::decLimit, ElementsAre(_, "RD Limit, over : < 29.9981689453125 >", "B4000,0000"),
       HasSubstr("by the declination limit (the mount reported 29.9981689453125 degrees)")},
      // Records after midnight stay in the file; January's end hour (5) applies.
      {"across midnight and a month's end", std::nullopt, "", "2026-12-31T23:30", NightEnd::clock,
       ResultOf(lastTwo, ElementsAre(StartsWith("2027-01-01 "), "B4000,0000")),
       HasSubstr("night ended 2027-01-01 05:01:00 by the clock")},
      {"a night that never ends stops after 72 hours", neverEnds, "", "2026-12-06T18:00", NightEnd::stopRequest,
       ElementsAre("B4000,0000"),
       AllOf(HasSubstr("night ended 2026-12-09 18:00:00"), HasSubstr("by the rehearsal after 72 simulated hours"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    MemoryFileStore files = c.ini ? nightStore(*c.ini, c.adf) : examplesStore();
    RehearsalResult result = rehearse(files, c.start);
    EXPECT_EQ(result.outcome.end, c.wantEnd);
    EXPECT_EQ(result.stoppedAtLimit, c.wantEnd == NightEnd::stopRequest) << "only the 72-hour limit stops it";
    EXPECT_THAT(describeRehearsal(result), c.wantDescription);
    std::string logName = "rehearsal-log" + std::string(c.start).substr(0, 10) + ".txt";
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files.files) names.push_back(name);
    EXPECT_THAT(names, ElementsAre(logName, "vantrel.adf", "vantrel.ini"));
    EXPECT_THAT(logRecords(files.files[logName]), c.wantLog);
  }
}

// A full table: every column of the table used to its last row by the
// position pass and the scan (the sanitizer build runs this too).
TEST(Rehearsal, AFullTableOf2700Rows) {
  IniValues ini;
  ini.dwellMinutes = 10;
  MemoryFileStore files = nightStore(ini, fullTargetList());
  RehearsalResult result = rehearse(files, "2026-12-06T17:00");
  EXPECT_EQ(result.outcome.targetCount, 2700);
  EXPECT_EQ(result.outcome.end, NightEnd::clock);
  auto log = logRecords(files.files["rehearsal-log2026-12-06.txt"]);
  EXPECT_EQ(static_cast<int>(log.size()), result.outcome.observedCount + 1);
  EXPECT_GT(result.outcome.observedCount, 60) << "a choice every 10 minutes from 17:00 to 04:30";
  EXPECT_THAT(log.back(), "B4000,0000");
}

}  // namespace
}  // namespace vantrel::testing
