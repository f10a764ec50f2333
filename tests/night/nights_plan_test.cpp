// Plans of several nights: each night is exactly its own rehearsal. The
// tables and the spreadsheet are tests/scenarios/*plan*.night.
#include "night/nights_plan.h"

#include <gtest/gtest.h>

#include "platform/stop_request.h"
#include "support/full_table.h"
#include "support/night_files.h"

namespace vantrel::testing {
namespace {

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
    RehearsalResult rehearsal = rehearseNight(start + night * 86400000LL, window, alone, stop);
    const RehearsalResult& planned = plan.nights[static_cast<std::size_t>(night)].rehearsal;
    ASSERT_EQ(planned.log, alone.files[rehearsal.logFileName]) << "night " << night + 1;
    EXPECT_EQ(describeRehearsal(planned), describeRehearsal(rehearsal)) << "night " << night + 1;
    EXPECT_GT(planned.outcome.observedCount, 50) << "night " << night + 1;
  }
}

TEST(NightsPlan, NightsInRanges) {
  const std::pair<std::vector<int>, const char*> rows[] = {
      {{}, ""}, {{4}, "4"}, {{1, 2}, "1,2"}, {{1, 2, 3}, "1-3"}, {{1, 3, 4, 5, 7, 8, 30}, "1,3-5,7,8,30"}};
  for (const auto& [nights, text] : rows) EXPECT_EQ(nightRanges(nights), text);
}

}  // namespace
}  // namespace vantrel::testing
