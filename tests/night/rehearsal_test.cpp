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
