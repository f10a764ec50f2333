// The night driver: start-up wait, end-of-night test, idle passes, stop
// requests, and how the night ends through the park.
#include <gmock/gmock.h>

#include "mount/protocol.h"
#include "night/night_fixture.h"
#include "platform/fault.h"

namespace vantrel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string parkBytes = std::string("T\0", 2) + "B4000,0000";

class NightDriver : public NightFixture {
 protected:
  // A target standing near azimuth 320 at the given time, so that the first
  // pass chooses it.
  std::string targetInWindowAt(const std::string& date, const std::string& time) {
    return targetLine("T1  ", raHoursAtAzimuth(date, time, 10.0, 320.0), 10.0);
  }
};

TEST_F(NightDriver, StartupWaitCountsChangesOfTheSeconds) {
  struct Case {
    double delay;
    const char* wantRecordTime;
  };
  // Started 0.4 s into a second: n changes take n - 0.4 seconds.
  for (Case c : {Case{0, "18:00:00"}, Case{-2, "18:00:00"}, Case{3, "18:00:03"}, Case{2.5, "18:00:03"},
                 Case{1, "18:00:01"}}) {
    SCOPED_TRACE("startDelaySeconds " + std::to_string(c.delay));
    IniValues ini;
    ini.startDelaySeconds = c.delay;
    ini.dwellMinutes = 0;
    writeInputs(ini, {targetInWindowAt("2026-12-06", "18:00")});
    files.files.erase("log2026-12-06.txt");
    SimulatedClock caseClock(*SimulatedClock::parseCivilTime("2026-12-06T18:00:00") + 400);
    SimulatedMount caseMount;
    StopRequest caseStop;
    caseClock.onAdvance = [&](std::int64_t ms) {
      if (ms >= *SimulatedClock::parseCivilTime("2026-12-06T18:00:30")) caseStop.raise();
    };
    Form1 night(NightSeams{caseClock, caseMount, window, files, caseStop});
    night.Form_Load();
    auto lines = logLines("log2026-12-06.txt");
    ASSERT_FALSE(lines.empty());
    EXPECT_THAT(lines[0], StartsWith(std::string("2026-12-06 ") + c.wantRecordTime));
  }
}

TEST_F(NightDriver, StartedAfterTheEndHourParksAtTheFirstPass) {
  IniValues ini;  // every month ends at 4.5
  writeInputs(ini, {targetInWindowAt("2026-12-07", "05:00")});
  startAt("2026-12-07T05:00:00");
  NightOutcome outcome = runNight();
  EXPECT_EQ(outcome.end, NightEnd::clock);
  EXPECT_EQ(outcome.observedCount, 0);
  EXPECT_THAT(logLines("log2026-12-07.txt"), ElementsAre("B4000,0000"));
  EXPECT_TRUE(window.titles.empty()) << "no title change without a target";
  EXPECT_EQ(mount.bytesSent(), parkBytes);
}

TEST_F(NightDriver, EndHourIsStrictAndOnMinutes) {
  IniValues ini;
  writeInputs(ini, {});
  startAt("2026-12-07T04:29:30");
  NightOutcome outcome = runNight();
  EXPECT_EQ(outcome.end, NightEnd::clock);
  // 04:30 is not past 4.5; the pass at 04:31:00 ends the night, the park
  // pause adds 200 ms.
  EXPECT_EQ(outcome.endedAt.timeText, "04:31:00");
}

TEST_F(NightDriver, NoEndTestFromSixOClock) {
  IniValues ini;
  ini.nightEnd = std::vector<double>(12, 0.0);
  writeInputs(ini, {});
  startAt("2026-12-07T06:00:00");
  stopWhenClockReaches("2026-12-07T07:00:00");
  NightOutcome outcome = runNight();
  EXPECT_EQ(outcome.end, NightEnd::stopRequest);
  EXPECT_EQ(outcome.endedAt.timeText, "07:00:00");
  EXPECT_EQ(mount.bytesSent(), parkBytes) << "a stop request while idle parks";
}

TEST_F(NightDriver, EndHourOfFiveFiftyNineNeverEndsTheNight) {
  IniValues ini;
  ini.nightEnd = std::vector<double>(12, 5 + 59.0 / 60);
  writeInputs(ini, {});
  startAt("2026-12-07T05:58:00");
  stopWhenClockReaches("2026-12-08T06:30:00");
  NightOutcome outcome = runNight();
  EXPECT_EQ(outcome.end, NightEnd::stopRequest) << "05:59 is not past 5 + 59/60";
  EXPECT_EQ(outcome.endedAt.dateText, "2026-12-08");
}

TEST_F(NightDriver, MonthIsReadAtTheMomentOfTheTest) {
  IniValues ini;
  ini.nightEnd = std::vector<double>(12, 3.0);
  ini.nightEnd[0] = 0.0;  // January: 00:01 would already end it
  ini.nightEnd[1] = 1.0;  // February
  writeInputs(ini, {});
  startAt("2027-01-31T23:58:00");
  NightOutcome outcome = runNight();
  EXPECT_EQ(outcome.end, NightEnd::clock);
  EXPECT_EQ(outcome.endedAt.dateText, "2027-02-01");
  EXPECT_EQ(outcome.endedAt.timeText, "01:01:00");
  EXPECT_TRUE(files.files.count("log2027-01-31.txt")) << "the log is named after the starting date";
}

TEST_F(NightDriver, IdlePassesRunOncePerMinute) {
  IniValues ini;
  writeInputs(ini, {targetLine("N   ", 0, 89.0)});  // near the pole: never in the window
  startAt("2026-12-06T18:00:10");
  const std::int64_t stopMs = *SimulatedClock::parseCivilTime("2026-12-06T19:00:00");
  std::vector<std::int64_t> moves;
  clock.onAdvance = [&](std::int64_t ms) {
    moves.push_back(ms);
    if (ms >= stopMs) stop.raise();
  };
  Form1 night(NightSeams{clock, mount, window, files, stop});
  NightOutcome outcome = night.Form_Load();
  ASSERT_EQ(moves.size(), 60u + 1) << "60 idle waits, then the park pause";
  for (std::size_t i = 0; i < 60; ++i) {
    EXPECT_EQ(moves[i], stopMs - static_cast<std::int64_t>(59 - i) * 60000) << "idle wait " << i;
  }
  EXPECT_EQ(moves[60], stopMs + 200);
  EXPECT_EQ(outcome.observedCount, 0);
  EXPECT_TRUE(window.titles.empty());
  EXPECT_GE(window.eventPasses, 60) << "the window is served while idle";
}

TEST_F(NightDriver, StopRequestDuringTheStartupWaitParks) {
  IniValues ini;
  ini.startDelaySeconds = 600;
  writeInputs(ini, {targetInWindowAt("2026-12-06", "18:00")});
  startAt("2026-12-06T18:00:00");
  stopWhenClockReaches("2026-12-06T18:00:05");
  NightOutcome outcome = runNight();
  EXPECT_EQ(outcome.end, NightEnd::stopRequest);
  EXPECT_EQ(outcome.observedCount, 0);
  EXPECT_THAT(logLines("log2026-12-06.txt"), ElementsAre("B4000,0000"));
  EXPECT_EQ(mount.bytesSent(), parkBytes);
}

TEST_F(NightDriver, StopRequestDuringADwellParksAfterThePoll) {
  IniValues ini;
  ini.dwellMinutes = 10;
  writeInputs(ini, {targetInWindowAt("2026-12-06", "18:00")});
  startAt("2026-12-06T18:00:00");
  stopWhenClockReaches("2026-12-06T18:03:00");
  NightOutcome outcome = runNight();
  EXPECT_EQ(outcome.end, NightEnd::stopRequest);
  EXPECT_EQ(outcome.observedCount, 1);
  auto lines = logLines("log2026-12-06.txt");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[1], "B4000,0000");
  EXPECT_EQ(outcome.endedAt.timeText, "18:03:00");
  EXPECT_FALSE(mount.isOpen());
}

TEST_F(NightDriver, ParkDisabledSendsNothingAndLogsNothing) {
  IniValues ini;
  ini.parkEnabled = 2;
  writeInputs(ini, {});
  startAt("2026-12-07T05:00:00");
  NightOutcome outcome = runNight();
  EXPECT_FALSE(outcome.parked);
  EXPECT_TRUE(logLines("log2026-12-07.txt").empty());
  EXPECT_EQ(mount.bytesSent(), "");
  ASSERT_EQ(mount.transcript().size(), 2u) << "the port is still opened and closed once";
  EXPECT_EQ(mount.transcript()[0].kind, MountEvent::Kind::open);
  EXPECT_EQ(mount.transcript()[1].kind, MountEvent::Kind::close);
}

TEST_F(NightDriver, LogOfAnEarlierStartIsKept) {
  IniValues ini;
  writeInputs(ini, {});
  files.files["log2026-12-07.txt"] = "earlier record\r\n";
  startAt("2026-12-07T05:00:00");
  runNight();
  EXPECT_THAT(logLines("log2026-12-07.txt"), ElementsAre("earlier record", "B4000,0000"));
}

TEST_F(NightDriver, BadInputsStopBeforeTheLogOrThePort) {
  IniValues ini;
  writeInputs(ini, {"short"});
  startAt("2026-12-06T18:00:00");
  try {
    runNight();
    FAIL() << "no fault";
  } catch (const Fault& f) {
    EXPECT_EQ(f.status(), ExitStatus::inputFile);
    EXPECT_THAT(f.what(), HasSubstr("vantrel.adf line 1"));
  }
  EXPECT_FALSE(files.files.count("log2026-12-06.txt"));
  EXPECT_TRUE(mount.transcript().empty());
}

TEST_F(NightDriver, FailingLogStopsTheNight) {
  IniValues ini;
  writeInputs(ini, {targetInWindowAt("2026-12-06", "18:00")});
  files.failAppends = true;
  startAt("2026-12-06T18:00:00");
  EXPECT_THROW(runNight(), Fault);
  EXPECT_TRUE(mount.transcript().empty()) << "no goto before the record is on disk";
}

}  // namespace
}  // namespace vantrel::testing
