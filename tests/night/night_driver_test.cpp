// The night driver: start-up wait, end-of-night test, idle passes, stop
// requests, and how the night ends through the park.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <stdexcept>

#include "astro/sun_position.h"
#include "mount/protocol.h"
#include "night/form1.h"
#include "night/preflight.h"
#include "night/rehearsal.h"
#include "obslog/log_reader.h"
#include "platform/fault.h"
#include "platform/simulated_clock.h"
#include "platform/simulated_mount.h"
#include "platform/stop_request.h"
#include "schedule/sun_guard.h"
#include "support/night_files.h"

namespace vantrel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string parkBytes = std::string("T\0", 2) + "B4000,0000";

// A target standing near azimuth 320 at the given civil time, so that the
// first pass chooses it.
std::string targetInWindowAt(const std::string& civilTime) {
  return targetLine("T1  ", raHoursAtAzimuth(civilTime.substr(0, 10), civilTime.substr(11, 5), 10.0, 320.0), 10.0) +
         "\r\n";
}

// One night on the simulated clock and mount with its files in memory.
struct Night {
  SimulatedClock clock;
  SimulatedMount mount{SimulatedMount::Transcript::kept};
  RecordingWindow window;
  MemoryFileStore files;
  StopRequest stop;
  std::vector<std::int64_t> clockMoves;  // every time the clock moved to
  std::function<void(std::int64_t civilMs)> atClock;  // called at every move
  NightOptions options;

  Night(const IniValues& ini, const std::string& adf) : files(nightStore(ini, adf)) {}

  // From `start` (plus `extraMs`); a stop request is raised once the clock reaches `stopAt`.
  NightOutcome run(const std::string& start, const std::string& stopAt = "", int extraMs = 0) {
    clock.setCivilMs(civil(start) + extraMs);
    clock.onAdvance = [this, stopMs = stopAt.empty() ? INT64_MAX : civil(stopAt)](std::int64_t ms) {
      clockMoves.push_back(ms);
      if (ms >= stopMs && !stop.raised()) stop.raise();
      if (atClock) atClock(ms);
    };
    return Form1(NightSeams{clock, mount, window, files, stop}, options).Form_Load();
  }
  std::vector<std::string> log(const std::string& date) { return logRecords(files.files["log" + date + ".txt"]); }
};

TEST(NightDriver, StartupWaitCountsChangesOfTheSeconds) {
  // Started 0.4 s into a second: n changes take n - 0.4 seconds.
  for (auto [delay, wantRecordTime] : {std::pair{0.0, "18:00:00"}, {-2.0, "18:00:00"}, {3.0, "18:00:03"},
                                       {2.5, "18:00:03"}, {1.0, "18:00:01"}}) {
    SCOPED_TRACE("startDelaySeconds " + std::to_string(delay));
    IniValues ini;
    ini.startDelaySeconds = delay;
    ini.dwellMinutes = 0;
    Night night(ini, targetInWindowAt("2026-12-06T18:00"));
    night.run("2026-12-06T18:00:00", "2026-12-06T18:00:30", 400);
    auto log = night.log("2026-12-06");
    ASSERT_FALSE(log.empty());
    EXPECT_THAT(log[0], StartsWith(std::string("2026-12-06 ") + wantRecordTime));
  }
}

// Warnings come as soon as each file is read, before the start-up wait ends
// and before any record, and the night is the one it is without them.
TEST(NightDriver, WarningsAboutTheFilesChangeNothing) {
  IniValues ini;
  ini.parkEnabled = 2;
  ini.startDelaySeconds = 3;
  std::string adf = "# winter\r\n" + targetInWindowAt("2026-12-06T18:00") + "X   0x00.0 +1000.0 y 000000000\r\n";
  Night quiet(ini, adf);
  quiet.run("2026-12-06T18:00:00", "2026-12-06T18:10:00");
  Night told(ini, adf);
  std::vector<std::string> warnings;
  told.options.onWarning = [&](const std::string& w) {
    warnings.push_back(std::to_string(told.clockMoves.size()) + " " + w.substr(0, 29));
  };
  told.run("2026-12-06T18:00:00", "2026-12-06T18:10:00");
  EXPECT_THAT(warnings, ElementsAre("0 vantrel.ini line 12, column 1", "3 vantrel.adf line 3, columns 5"));
  EXPECT_EQ(told.log("2026-12-06"), quiet.log("2026-12-06"));
  EXPECT_EQ(told.mount.transcript(), quiet.mount.transcript());
  EXPECT_FALSE(told.log("2026-12-06").empty());
}

// The line check at start: one query, then the night; a silent mount or a
// port that cannot be opened ends the program before the log exists.
TEST(NightDriver, TheLineIsCheckedAfterTheStartupWait) {
  const struct {
    const char* what;
    void (*prepare)(SimulatedMount&);
    ExitStatus fault;  // nightEnded: no fault
    const char* says;
  } cases[] = {
      {"answers", [](SimulatedMount&) {}, ExitStatus::nightEnded, ""},
      {"silent", [](SimulatedMount& m) { m.setSilent(true); }, ExitStatus::mountSilent,
       "the mount at COM1 does not answer a position query within 1 s"},
      {"garbled", [](SimulatedMount& m) { m.setPositionScript([](int, auto&, auto&) { return std::string("?"); }); },
       ExitStatus::mountSilent, "the mount at COM1 answers a position query with bytes that cannot be read: \"?\""},
      {"at the pole, above the limit: said, and the night goes on",
       [](SimulatedMount& m) {
         m.setPositionScript([](int n, auto& ra, auto& dec) { return ra + "," + (n == 1 ? "4000" : dec) + "#"; });
       },
       ExitStatus::nightEnded, "the mount at COM1 reports declination 90 degrees, above decLimit 89"},
      {"cannot be opened", [](SimulatedMount& m) { m.refuseOpen(true); }, ExitStatus::runtimeFault, "COM1"},
  };
  for (const auto& c : cases) {
    IniValues ini;
    ini.startDelaySeconds = 2;
    Night night(ini, targetInWindowAt("2026-12-06T18:00"));
    night.options.checkLineAtStart = true;
    std::string warned;
    night.options.onWarning = [&](const std::string& w) { warned += w; };
    c.prepare(night.mount);
    try {
      night.run("2026-12-06T18:00:00", "2026-12-06T18:01:00");
      EXPECT_EQ(c.fault, ExitStatus::nightEnded) << c.what;
      EXPECT_THAT(warned, HasSubstr(c.says)) << c.what;
      ASSERT_GE(night.mount.transcript().size(), 3u);
      EXPECT_THAT(std::vector<MountEvent>(night.mount.transcript().begin(), night.mount.transcript().begin() + 3),
                  ElementsAre(MountEvent{MountEvent::Kind::open, 1, ""}, MountEvent{MountEvent::Kind::bytes, 1, "E"},
                              MountEvent{MountEvent::Kind::close, 1, ""}));
      EXPECT_EQ(night.clockMoves.at(2), civil("2026-12-06T18:00:02") + 100) << "after the wait, 100 ms for the reply";
    } catch (const Fault& fault) {
      EXPECT_EQ(fault.status(), c.fault) << c.what;
      EXPECT_THAT(fault.what(), HasSubstr(c.says)) << c.what;
      EXPECT_FALSE(night.files.files.count("log2026-12-06.txt")) << c.what;
      EXPECT_EQ(night.mount.bytesSent().find('R'), std::string::npos) << c.what;
      EXPECT_FALSE(night.mount.isOpen()) << c.what;
    }
  }
}

// A name one character too long shifts the columns: the line reads as 532
// minutes of right ascension, and the goto would go wherever that wraps to.
// A real night and its check refuse it before the log or the line is
// touched; a rehearsal (and so a plan) goes on with it, to show the rest.
TEST(NightDriver, ImpossibleCoordinatesStopARealNightAndItsCheckOnly) {
  Night night(IniValues{}, targetInWindowAt("2026-12-06T18:00") + "M42  0532.9 -0525.0 Orion Nebula 000000000\r\n");
  const char* says = "vantrel.adf line 2, columns 7-10 \"532.\": right ascension minutes (columns 7-10) reads 532";
  const std::int64_t start = civil("2026-12-06T18:00");
  for (auto refuse : std::vector<std::function<void()>>{[&] { night.run("2026-12-06T18:00:00"); },
                                                        [&] { preflightReport(night.files, start); }}) {
    try {
      refuse();
      ADD_FAILURE() << "not refused";
    } catch (const Fault& fault) {
      EXPECT_EQ(fault.status(), ExitStatus::inputFile);
      EXPECT_THAT(fault.what(), StartsWith(says));
    }
  }
  EXPECT_EQ(night.files.files.size(), 2u) << "no log";
  EXPECT_TRUE(night.mount.transcript().empty());
  EXPECT_EQ(rehearseInMemory(start, night.window, night.files, night.stop).outcome.observedCount, 2);
}

// A mount parked at the pole, the home of most equatorial mounts, comes down
// through decLimit on its first slew: that does not end the night, also when
// the line check was answered with a position the parked mount is not at
// (0, as the INDI simulator says). One that never comes down to the limit
// in a whole dwell is a fault of the night, which ends through the park. A
// target above the limit is judged from the first reply, as it always was.
TEST(NightDriver, AMountComingDownFromThePole) {
  const struct {
    const char* what;
    double atStart, decLimit;
    bool comesDown;
    const char* limitRecord;  // "" for none
    const char* fault;        // "" for none
  } cases[] = {
      {"parked at the pole", 90, 85, true, "", ""},
      {"parked, answering 0", 0, 85, true, "", ""},
      {"never below the limit", 90, 85, false, "",
       "the mount at COM1 stayed above the declination limit for the whole dwell on row 1 (it last reported 86.001 "
       "degrees; decLimit is 85"},
      {"sent above the limit", 90, 5, true, "RD Limit, over : < 89.30", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    IniValues ini;
    ini.decLimit = c.decLimit;
    ini.dwellMinutes = 0.05;
    Night night(ini, targetInWindowAt("2026-12-06T18:00"));  // declination 10
    night.options.checkLineAtStart = true;
    // Query 1 is the line check; the read of query 2 holds the goto's answers too.
    night.mount.setPositionScript([&c](int n, auto& ra, auto& dec) {
      const std::vector<double> slew = {c.atStart, 90, 89.3, 87};
      return ra + "," + (n <= 4 ? encodeAngle(slew[n - 1]) : c.comesDown ? dec : encodeAngle(86)) + "#";
    });
    std::string fault;
    try {
      night.run("2026-12-06T18:00:00", "2026-12-06T18:01:00");
    } catch (const Fault& f) {
      EXPECT_EQ(f.status(), ExitStatus::runtimeFault);
      EXPECT_THAT(f.what(), ::testing::EndsWith("; park command sent, acknowledged"));
      fault = f.what();
    }
    EXPECT_THAT(fault, StartsWith(c.fault));
    EXPECT_EQ(fault.empty(), *c.fault == 0);
    std::vector<std::string> log = night.log("2026-12-06");
    if (*c.limitRecord != 0) {
      EXPECT_THAT(log, ElementsAre(HasSubstr("T1  "), StartsWith(c.limitRecord), "B4000,0000"));
    } else {
      EXPECT_THAT(log, ElementsAre(HasSubstr("T1  "), "B4000,0000"));
    }
  }
}

// A line for a star that stands at (azDeg, altDeg) at the civil time, seen
// from latitude 35, longitude 135: the hour angle and declination of that
// direction, and the right ascension from the sidereal angle of the night.
std::string lineAt(const std::string& name4, const std::string& date, const std::string& time, double azDeg,
                   double altDeg) {
  const double r = M_PI / 180, phi = 35.0 * r, a = azDeg * r, h = altDeg * r;
  double dec = std::asin(std::sin(phi) * std::sin(h) - std::cos(phi) * std::cos(h) * std::cos(a));
  double hourAngle = std::atan2(std::sin(a) * std::cos(h), std::cos(a) * std::cos(h) * std::sin(phi) +
                                                               std::sin(h) * std::cos(phi));
  double raDeg = std::fmod(localSiderealAngle(sampleClock(date, time), 135.0) / r - hourAngle / r + 720.0, 360.0);
  return targetLine(name4, raDeg / 15, dec / r) + "\r\n";
}

// A line `degrees` straight above the Sun at the civil time.
std::string lineAboveTheSun(const std::string& name4, const std::string& date, const std::string& time,
                            double degrees) {
  SunPlace sun = sunGuardAt(date, time + ":00", 35.0, 135.0).sun;
  return lineAt(name4, date, time, sun.azDeg, sun.altDeg + degrees);
}

// By day no row near the Sun is chosen; a row far from it is, as before.
TEST(NightDriver, NoGotoNearTheSun) {
  IniValues ini;
  ini.minAltitude = 10;
  // At 09:00 the Sun stands at azimuth 317, altitude 19.6: in the window.
  std::string nearSun = lineAboveTheSun("NEAR", "2026-12-07", "09:00", 10);
  std::string farFromSun = lineAt("FAR ", "2026-12-07", "09:00", 280, 60);
  Night night(ini, nearSun + farFromSun);
  NightOutcome outcome = night.run("2026-12-07T09:00:00", "2026-12-07T10:00:00");
  auto log = night.log("2026-12-07");
  ASSERT_EQ(log.size(), 2u) << "one target, then the park";
  EXPECT_THAT(log[0], HasSubstr("FAR "));
  EXPECT_EQ(night.mount.bytesSent().find("R"), night.mount.bytesSent().rfind("R")) << "one goto only";
  EXPECT_EQ(outcome.rowsNearSun, std::set<int>{1});

  // The Sun is taken for the instant of the rows, the minute of the sample:
  // at 09:00:50 rows 29.9 and 30.1 degrees from the Sun of 09:00 stay on
  // their sides of the guard (the Sun of 09:00:50 has moved 0.2 degrees).
  Night edge(ini, lineAboveTheSun("IN  ", "2026-12-07", "09:00", 29.9) +
                      lineAboveTheSun("OUT ", "2026-12-07", "09:00", 30.1));
  EXPECT_EQ(edge.run("2026-12-07T09:00:50", "2026-12-07T09:00:55").rowsNearSun, std::set<int>{1});
  EXPECT_THAT(edge.log("2026-12-07"), ElementsAre(HasSubstr("OUT "), "B4000,0000"));

  // At dawn: a row 15 degrees above the Sun is chosen while the Sun is still
  // below the horizon (06:40, -3.5 degrees), and passed over once it is up
  // (07:05, +1.1 degrees).
  for (auto [time, chosen] : {std::pair{"06:40", true}, {"07:05", false}}) {
    Night dawn(ini, lineAboveTheSun("DAWN", "2026-12-07", time, 15));
    NightOutcome dawnOutcome = dawn.run("2026-12-07T" + std::string(time) + ":00", "2026-12-07T07:30:00");
    EXPECT_EQ(dawn.log("2026-12-07").size(), chosen ? 2u : 1u) << time;
    EXPECT_EQ(dawnOutcome.rowsNearSun.empty(), chosen) << time;
  }
}

// The start of a night by day or in twilight is warned about; at night not.
TEST(NightDriver, TheSunAtStartIsWarnedAbout) {
  const struct {
    const char* start;
    const char* warning;  // "" for none
  } cases[] = {
      {"2026-12-07T09:00:00", "the Sun stands 19.6 degrees above the horizon at 2026-12-07 09:00:00: while it is up"},
      {"2026-12-07T17:05:00", "the Sun stands 3.9 degrees below the horizon at 2026-12-07 17:05:00: it is not yet"},
      {"2026-12-07T18:00:00", ""},
  };
  for (const auto& c : cases) {
    Night night(IniValues{}, "");
    std::vector<std::string> warnings;
    night.options.onWarning = [&](const std::string& w) { warnings.push_back(w); };
    night.run(c.start, c.start);
    if (*c.warning == 0) {
      EXPECT_THAT(warnings, ::testing::IsEmpty()) << c.start;
    } else {
      EXPECT_THAT(warnings, ElementsAre(StartsWith(c.warning))) << c.start;
    }
  }
}

// The status tells when the running night ends: before noon the night of
// this morning, from noon the night of the next morning, in its month.
TEST(NightDriver, TheNightEndShownChangesAtNoon) {
  IniValues ini;
  ini.nightEnd = std::vector<double>(12, 3.0);
  ini.nightEnd[0] = 5.0;  // January
  Night night(ini, "");
  StatusBoard board;
  std::vector<std::string> shown;
  board.setListener([&](const NightStatus& s) {
    if (shown.empty() || shown.back() != s.nightEndText) shown.push_back(s.nightEndText);
  });
  night.options.statusBoard = &board;
  night.run("2026-12-31T11:58:00", "2026-12-31T12:02:00");
  EXPECT_THAT(shown, ElementsAre("03:01", "05:01"));
}

TEST(NightDriver, IdlePassesRunOncePerMinute) {
  Night night(IniValues{}, targetLine("N   ", 0, 89.0) + "\r\n");  // near the pole: never in the window
  NightOutcome outcome = night.run("2026-12-06T18:00:10", "2026-12-06T19:00:00");
  std::vector<std::int64_t> want;
  for (int i = 59; i >= 0; --i) want.push_back(civil("2026-12-06T19:00:00") - i * 60000);
  want.push_back(civil("2026-12-06T19:00:00") + 200);
  EXPECT_EQ(night.clockMoves, want) << "60 idle waits on the whole minutes, then the park pause";
  EXPECT_EQ(outcome.observedCount, 0);
  EXPECT_TRUE(night.window.titles.empty());
  EXPECT_GE(night.window.eventPasses, 60) << "the window is served while idle";
}

// What the configuration says reaches the mount, and the chart is fed every
// pass with the current target marked.
TEST(NightDriver, PassThroughValueAndTheSkyChart) {
  IniValues ini;
  ini.passThroughValue = 7;
  ini.dwellMinutes = 1;
  Night night(ini, targetInWindowAt("2026-12-06T18:00") + targetLine("N   ", 0, 89.0) + "\r\n");
  night.window.chart = true;
  night.run("2026-12-06T18:00:00", "2026-12-06T18:03:00");
  EXPECT_THAT(night.mount.bytesSent(), HasSubstr(std::string("P\x02\x10\x24\x07\0\0\0P\x02\x11\x24\x07\0\0\0", 16)));
  ASSERT_GE(night.window.skies.size(), 2u);
  const SkyView& first = night.window.skies.front();
  EXPECT_EQ(first.points.size(), 2u);
  EXPECT_EQ(first.chosenIndex, 0) << "the chosen row is marked";
  EXPECT_EQ(first.timeText, "18:00:00");
  EXPECT_TRUE(night.window.skies.back().points[0].observed);
  EXPECT_EQ(night.window.skies.back().chosenIndex, -1) << "nothing chosen once the only target is done";
}

// An earlier start's records are kept; one torn by a crash or a full disk
// is ended first, so the new records start on a line of their own.
TEST(NightDriver, LogOfAnEarlierStartIsKeptAndATornRecordEnded) {
  const std::pair<std::string, std::string> cases[] = {
      {"earlier record\r\n", "earlier record\r\nB4000,0000\r\n"},
      {"", "B4000,0000\r\n"},
      {"torn rec", "torn rec\r\nB4000,0000\r\n"},
      {"torn record\r", "torn record\r\nB4000,0000\r\n"},
      {"unix line end\n", "unix line end\n\r\nB4000,0000\r\n"},
  };
  for (const auto& [before, after] : cases) {
    Night night(IniValues{}, "");
    night.files.files["log2026-12-07.txt"] = before;
    night.run("2026-12-07T05:00:00");
    EXPECT_EQ(night.files.files["log2026-12-07.txt"], after) << before;
  }
}

// A second request during the park waits for it; anywhere else it leaves at
// once (the signal handler and the window act on the answer).
TEST(NightDriver, ASecondStopRequestWaitsOnlyForThePark) {
  Night night(IniValues{}, targetInWindowAt("2026-12-06T18:00"));
  std::vector<std::string> answers;
  const char* names[] = {"end the night", "carry on", "leave now"};
  night.atClock = [&](std::int64_t ms) {
    std::string bytes = night.mount.bytesSent();
    bool inPark = bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == std::string("T\0", 2);
    if (inPark || ms == civil("2026-12-06T18:01:00")) {
      answers.push_back(std::string(inPark ? "park: " : "dwell: ") + names[static_cast<int>(night.stop.request())]);
    }
  };
  EXPECT_TRUE(night.run("2026-12-06T18:00:00").parked);
  EXPECT_THAT(answers, ElementsAre("dwell: end the night", "park: carry on"));
  EXPECT_THAT(night.mount.bytesSent(), ::testing::EndsWith(parkBytes));
  EXPECT_TRUE(night.stop.parkSent());
  EXPECT_THAT(night.stop.leavingNowText(), HasSubstr("the mount was parked"));
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
  outcome.parked = false;
  EXPECT_THAT(describeNight(outcome), HasSubstr("; mount not parked (parkEnabled is not 1)"));
}

TEST(StopRequest, LaterRequestsLeaveAtOnceExceptDuringTheParkAndAfterTheNight) {
  using Then = StopRequest::Then;
  StopRequest stop;
  EXPECT_EQ(stop.request(), Then::endTheNight);
  EXPECT_EQ(stop.request(), Then::leaveNow);
  EXPECT_THAT(stop.leavingNowText(), HasSubstr("NOT parked and may still point at the sky"));
  stop.parkBegins();
  EXPECT_EQ(stop.request(), Then::carryOn);
  stop.parkEnds(false);
  EXPECT_EQ(stop.request(), Then::leaveNow);
  EXPECT_THAT(stop.leavingNowText(), HasSubstr("NOT parked"));
  stop.parkBegins();
  stop.parkEnds(true);
  EXPECT_EQ(stop.request(), Then::leaveNow);
  EXPECT_THAT(stop.leavingNowText(), HasSubstr("the mount was parked"));
  stop.nightIsOver();
  EXPECT_EQ(stop.request(), Then::windUp);
}

// A night stopped after two of three targets and started again: with
// --resume the second start goes on where the first stopped.
TEST(NightDriver, RestartWithOrWithoutResume) {
  struct Case {
    const char* description;
    const char* secondStart;
    const char* secondStop;
    bool resume;
    bool changeFirstChosen;  // the list is edited between the two starts
    std::vector<std::string> wantSecondChoices;
    const char* wantStatus;
  };
  const Case cases[] = {
      {"resumed the same evening", "2026-12-06T23:10:00", "2026-12-06T23:15:00", true, false, {"W300"},
       "resuming: 2 rows taken as observed from log2026-12-06.txt (records since 2026-12-06 12:00:00)"},
      {"resumed after midnight: yesterday's log", "2026-12-07T00:05:00", "2026-12-07T00:10:00", true, false, {"W300"},
       "resuming: 2 rows taken as observed from log2026-12-06.txt (records since 2026-12-06 12:00:00)"},
      {"a changed row is chosen again", "2026-12-06T23:10:00", "2026-12-06T23:15:00", true, true, {"W320", "W300"},
       "resuming: 1 row taken as observed from log2026-12-06.txt (records since 2026-12-06 12:00:00)"},
      {"without --resume every row is free", "2026-12-06T23:10:00", "2026-12-06T23:15:00", false, false,
       {"W320", "W310", "W300"}, ""},
  };
  const std::string firstStart = "2026-12-06T23:00:00";
  std::string adf;
  for (double az : {300.0, 310.0, 320.0}) {
    adf += targetLine("W" + std::to_string(static_cast<int>(az)), raHoursAtAzimuth("2026-12-06", "23:05", 10.0, az),
                      10.0) + "\r\n";
  }
  auto choices = [](const std::vector<std::string>& log) {
    std::vector<std::string> names;
    for (const std::string& line : log) {
      if (auto read = readTargetRecord(line)) names.push_back(read->targetName.substr(0, 4));
    }
    return names;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    IniValues ini;
    ini.dwellMinutes = 2;
    Night first(ini, adf);
    first.run(firstStart, "2026-12-06T23:03:00");
    ASSERT_EQ(choices(first.log("2026-12-06")), (std::vector<std::string>{"W320", "W310"}));

    Night second(ini, adf);
    second.files.files = first.files.files;
    if (c.changeFirstChosen) {
      std::string& list = second.files.files["vantrel.adf"];
      list.replace(list.find("W320") + 19, 6, "edited");
    }
    second.options.resume = c.resume;
    const std::string secondDate = std::string(c.secondStart).substr(0, 10);
    NightOutcome outcome = second.run(c.secondStart, c.secondStop);
    std::vector<std::string> secondLog = second.log(secondDate);
    if (secondDate == "2026-12-06") secondLog.erase(secondLog.begin(), secondLog.begin() + 3);  // the first start's
    EXPECT_EQ(choices(secondLog), c.wantSecondChoices);
    const int wantResumed = c.resume ? 3 - static_cast<int>(c.wantSecondChoices.size()) : 0;
    EXPECT_EQ(outcome.resumedCount, wantResumed);
    EXPECT_THAT(describeNight(outcome),
                StartsWith(std::to_string(c.wantSecondChoices.size()) + " of 3 targets observed" +
                           (wantResumed ? " (and " + std::to_string(wantResumed) + " before the restart);" : ";")));
    if (*c.wantStatus != '\0') {
      ASSERT_FALSE(second.window.statuses.empty());
      EXPECT_EQ(second.window.statuses.front(), c.wantStatus);
    } else {
      EXPECT_THAT(second.window.statuses, ::testing::Not(::testing::Contains(HasSubstr("resuming"))));
    }
  }
}

}  // namespace
}  // namespace vantrel::testing
