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

// Every way the night ends goes through the park; when and why it ends.
TEST_F(NightDriver, EndOfTheNightByTheClockOrAStopRequest) {
  struct Case {
    const char* description;
    const char* start;
    std::vector<double> nightEnd;  // January..December
    bool target;                   // one target in the window at the start
    double startDelaySeconds, dwellMinutes;
    const char* stopAt;            // "" for none
    NightEnd wantEnd;
    const char* wantEndedAt;       // the park pause (200 ms) stays in the second
    std::size_t wantTargetRecords;
  };
  std::vector<double> all45(12, 4.5), all0(12, 0.0), all559(12, 5 + 59.0 / 60), janFeb(12, 3.0);
  janFeb[0] = 0.0;  // January: 00:01 would already end it
  janFeb[1] = 1.0;  // February
  const Case cases[] = {
      {"started after the end hour", "2026-12-07T05:00:00", all45, true, 0, 2, "", NightEnd::clock,
       "2026-12-07 05:00:00", 0},
      {"04:30 is not past 4.5, 04:31 is", "2026-12-07T04:29:30", all45, false, 0, 2, "", NightEnd::clock,
       "2026-12-07 04:31:00", 0},
      {"no test from 06:00 whatever the table", "2026-12-07T06:00:00", all0, false, 0, 2, "2026-12-07T07:00:00",
       NightEnd::stopRequest, "2026-12-07 07:00:00", 0},
      {"5 + 59/60 never ends by time", "2026-12-07T05:58:00", all559, false, 0, 2, "2026-12-08T06:30:00",
       NightEnd::stopRequest, "2026-12-08 06:30:00", 0},
      {"the month is read at the test", "2027-01-31T23:58:00", janFeb, false, 0, 2, "", NightEnd::clock,
       "2027-02-01 01:01:00", 0},
      {"stop during the start-up wait", "2026-12-06T18:00:00", all45, true, 600, 2, "2026-12-06T18:00:05",
       NightEnd::stopRequest, "2026-12-06 18:00:05", 0},
      {"stop during a dwell", "2026-12-06T18:00:00", all45, true, 0, 10, "2026-12-06T18:03:00",
       NightEnd::stopRequest, "2026-12-06 18:03:00", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    std::string start = c.start;
    IniValues ini;
    ini.nightEnd = c.nightEnd;
    ini.startDelaySeconds = c.startDelaySeconds;
    ini.dwellMinutes = c.dwellMinutes;
    MemoryFileStore caseFiles;
    caseFiles.files["vantrel.ini"] = iniText(ini);
    caseFiles.files["vantrel.adf"] = c.target ? targetInWindowAt(start.substr(0, 10), start.substr(11, 5)) + "\r\n" : "";
    SimulatedClock caseClock(*SimulatedClock::parseCivilTime(start));
    SimulatedMount caseMount;
    StopRequest caseStop;
    caseClock.onAdvance = [&](std::int64_t ms) {
      if (*c.stopAt && ms >= *SimulatedClock::parseCivilTime(c.stopAt)) caseStop.raise();
    };
    NightOutcome outcome = Form1(NightSeams{caseClock, caseMount, window, caseFiles, caseStop}).Form_Load();
    EXPECT_EQ(outcome.end, c.wantEnd);
    EXPECT_EQ(outcome.endedAt.dateText + " " + outcome.endedAt.timeText, c.wantEndedAt);
    files = caseFiles;
    auto log = logLines("log" + start.substr(0, 10) + ".txt");  // named after the starting date
    ASSERT_EQ(log.size(), c.wantTargetRecords + 1);
    EXPECT_EQ(log.back(), "B4000,0000");
    std::string sent = caseMount.bytesSent();
    EXPECT_EQ(sent.substr(sent.size() - std::min(sent.size(), parkBytes.size())), parkBytes);
    EXPECT_FALSE(caseMount.isOpen());
  }
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
