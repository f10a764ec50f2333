// What the night driver tells that no story file shows: the stop requests'
// answers, the words for a mount that went quiet, and the sky chart's feed.
// Whole nights are tests/scenarios/*.night.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "night/form1.h"
#include "platform/simulated_clock.h"
#include "platform/simulated_mount.h"
#include "platform/stop_request.h"
#include "support/night_files.h"

namespace vantrel::testing {
namespace {

using ::testing::HasSubstr;

TEST(StopRequest, LaterRequestsLeaveAtOnceExceptDuringTheParkAndAfterTheNight) {
  using Then = StopRequest::Then;
  StopRequest stop;
  const struct {
    void (*before)(StopRequest&);
    Then then;
    const char* leaving;  // what leaving now says; "" when it does not leave
  } rows[] = {
      {[](StopRequest&) {}, Then::endTheNight, ""},
      {[](StopRequest&) {}, Then::leaveNow, "NOT parked and may still point at the sky"},
      {[](StopRequest& s) { s.parkBegins(); }, Then::carryOn, ""},
      {[](StopRequest& s) { s.parkEnds(false); }, Then::leaveNow, "NOT parked"},
      {[](StopRequest& s) { s.parkBegins(), s.parkEnds(true); }, Then::leaveNow, "the mount was parked"},
      {[](StopRequest& s) { s.nightIsOver(); }, Then::windUp, ""},
  };
  for (const auto& row : rows) {
    row.before(stop);
    EXPECT_EQ(stop.request(), row.then) << row.leaving;
    if (*row.leaving != 0) EXPECT_THAT(stop.leavingNowText(), HasSubstr(row.leaving));
  }
}

TEST(NightSummary, AGarbledLineIsNotCalledSilent) {
  NightOutcome outcome;
  outcome.end = NightEnd::mountSilent;
  outcome.parked = true;
  EXPECT_EQ(describeSilentMount(outcome, "the mount at COM1"), "the mount at COM1 does not answer position queries");
  EXPECT_THAT(describeNight(outcome), HasSubstr(" because the mount stopped answering; mount parked"));
  outcome.unreadReplies = 1;
  outcome.unreadExample = std::string("\xFF\x00", 2) + "0000,0E39#";
  EXPECT_EQ(describeSilentMount(outcome, "the mount at COM1"),
            "the replies of the mount at COM1 could not be read: 1 reply with unexpected bytes, e.g. "
            "\"\\xFF\\x000000,0E39#\"");
  EXPECT_THAT(describeNight(outcome), HasSubstr(" because the mount's replies could not be read; mount parked"));
}

// The chart is fed every pass, the chosen row marked until it is observed.
TEST(NightDriver, TheSkyChartIsFedEveryPass) {
  IniValues ini;
  ini.dwellMinutes = 1;
  SimulatedClock clock(civil("2026-12-06T18:00:00"));
  SimulatedMount mount;
  RecordingWindow window;
  window.chart = true;
  MemoryFileStore files = nightStore(ini, targetLine("T1  ", raHoursAtAzimuth("2026-12-06", "18:00", 10, 320), 10) +
                                              "\r\n" + targetLine("N   ", 0, 89.0) + "\r\n");
  StopRequest stop;
  clock.raiseStopAt(civil("2026-12-06T18:03:00"), stop);
  Form1(NightSeams{clock, mount, window, files, stop}).Form_Load();
  ASSERT_GE(window.skies.size(), 2u);
  EXPECT_EQ(window.skies.front().points.size(), 2u);
  EXPECT_EQ(window.skies.front().chosenIndex, 0);
  EXPECT_EQ(window.skies.front().timeText, "18:00:00");
  EXPECT_TRUE(window.skies.back().points[0].observed);
  EXPECT_EQ(window.skies.back().chosenIndex, -1) << "nothing chosen once the only target is done";
}

}  // namespace
}  // namespace vantrel::testing
