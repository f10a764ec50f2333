// A dwell crossed in one jump of the simulated clock must be the dwell polled
// one by one: the same ending at the same instant, the same records, the same
// bytes on the line. Each case runs twice, once on a clock that cannot jump.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "mount/dwell_jump.h"
#include "mount/supervision.h"
#include "night/form1.h"
#include "platform/simulated_clock.h"
#include "platform/simulated_mount.h"
#include "platform/stop_request.h"
#include "support/night_files.h"

namespace vantrel::testing {
namespace {

// The simulated clock, minus its jumps: every poll is made.
class StepByStepClock : public Clock {
 public:
  explicit StepByStepClock(SimulatedClock& clock) : clock_(clock) {}
  ClockReading now() override { return clock_.now(); }
  void pause(std::chrono::milliseconds duration) override { clock_.pause(duration); }
  void waitForNext(ClockUnit unit, Window* window, const StopRequest& stop) override {
    clock_.waitForNext(unit, window, stop);
  }

 private:
  SimulatedClock& clock_;
};

// What a run leaves behind, compared whole between the two ways.
struct Trace {
  std::string end;
  std::int64_t endMs = 0;
  std::vector<std::string> records;
  std::vector<MountEvent> transcript;
  std::int64_t queries = 0;
  std::vector<std::string> progress;  // what a watcher of the dwell was told, and when
  int yields = 0;                     // not compared: a jump serves no window
  bool operator==(const Trace& o) const {
    return end == o.end && endMs == o.endMs && records == o.records && transcript == o.transcript &&
           queries == o.queries && progress == o.progress;
  }
};

std::ostream& operator<<(std::ostream& out, const Trace& t) {
  out << t.end << " at " << t.endMs << " ms, " << t.queries << " queries, " << t.transcript.size() << " events";
  for (const std::string& r : t.records) out << "\n  " << r;
  return out;
}

struct DwellCase {
  const char* what;
  std::int64_t startMs;  // civil time of the goto
  double dwellMinutes;
  std::int64_t pauseMs;
  double decDeg = 30, decLimit = 45;
  std::int64_t stopAfterMs = -1;  // the clock raises a stop request this long after the goto; -1 none
  bool limitArmed = true;
};

Trace supervise(const DwellCase& c, bool jumps, bool watched) {
  SimulatedClock clock(c.startMs);
  StepByStepClock stepClock(clock);
  SimulatedMount mount(SimulatedMount::Transcript::kept);
  RecordingWindow window;
  StopRequest stop;
  if (c.stopAfterMs >= 0) clock.raiseStopAt(c.startMs + c.stopAfterMs, stop);
  SupervisionSettings settings{1,  0, c.decLimit, c.dwellMinutes, std::chrono::milliseconds(c.pauseMs),
                               {}, c.limitArmed};
  Trace trace;
  if (watched) {
    settings.onProgress = [&](const DwellProgress& p) {
      trace.progress.push_back(std::to_string(p.countedChanges) + " at " + std::to_string(clock.civilMs()));
    };
  }
  Clock& used = jumps ? static_cast<Clock&>(clock) : stepClock;
  SupervisionResult result = superviseTarget({15, c.decDeg}, settings, {mount, used, window, stop}, [&](double dec) {
    trace.records.push_back(std::to_string(dec));
  });
  const char* const names[] = {"dwellOver", "limitReached", "stopRequested", "mountSilent", "stayedAboveLimit"};
  trace.end = names[static_cast<int>(result.end)];
  trace.endMs = clock.civilMs();
  trace.transcript = mount.transcript();
  trace.queries = mount.positionQueries();
  trace.records.push_back("reported " + std::to_string(result.reportedDec));
  trace.yields = window.eventPasses;
  return trace;
}

TEST(DwellJump, EqualsThePollsOneByOne) {
  const std::int64_t t = civil("2026-12-06T22:00:00");
  const std::int64_t beforeMidnight = civil("2026-12-06T23:59:58");
  std::vector<DwellCase> cases = {
      {"dwell 0", t, 0, 100},
      {"negative dwell", t, -2.5, 100},
      {"a fraction of a second", t + 999, 0.001, 100},
      {"half a minute", t + 1, 0.5, 100},
      {"fractional minutes, odd start", t + 437, 1.2345, 100},
      {"ten minutes, as the examples", t + 5000, 10, 100},
      {"three hours", t + 250, 180, 100},
      {"across midnight", beforeMidnight + 700, 0.1, 100},
      {"target above the limit", t, 10, 100, 50, 45},
      {"target above the limit, not armed: the whole dwell", t + 20, 10, 100, 50, 45, -1, false},
      {"stop during the dwell", t + 20, 10, 100, 30, 45, 123456},
      {"stop on a poll's instant", t, 10, 100, 30, 45, 60000},
      {"stop before the first poll", t, 10, 100, 30, 45, 50},
      {"stop after the dwell", t, 1, 100, 30, 45, 3600000},
      {"NaN dwell", t, std::numeric_limits<double>::quiet_NaN(), 100},
  };
  for (std::int64_t pause : {1, 7, 250, 333, 999, 1000, 1001, 2500}) {
    for (std::int64_t startMs : {t, t + 1, t + 999, beforeMidnight + 999}) {
      cases.push_back({"pause and start", startMs, pause <= 7 ? 0.05 : 2.5, pause});
    }
  }
  for (const DwellCase& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": pause " + std::to_string(c.pauseMs) + " ms, dwell " +
                 std::to_string(c.dwellMinutes) + " min, start " + civilReading(c.startMs).timeText + " + " +
                 std::to_string(c.startMs % 1000) + " ms");
    Trace stepped = supervise(c, false, true);
    EXPECT_EQ(supervise(c, true, true), stepped) << "watched";
    Trace jumped = supervise(c, true, false);
    jumped.progress = stepped.progress;
    EXPECT_EQ(jumped, stepped);
    if (c.dwellMinutes >= 1 && c.pauseMs == 100 && c.stopAfterMs != 50 && c.decDeg < c.decLimit) {
      EXPECT_LT(jumped.yields * 100, stepped.yields) << "the polls were made one by one: no jump";
    }
  }
}

// The arithmetic alone, where polls one by one would take too long: the jump
// never passes the poll that ends the dwell, nor a stop, and never overflows.
TEST(DwellJump, StopsShortOfTheEndingPollForAnyLength) {
  const std::int64_t t = civil("2026-12-06T22:00:00") + 300;
  EXPECT_EQ(steadyPollsToSkip(t, 100, 0, 60.0 * 10, INT64_MAX), 5996) << "600 changes, the 600th at 22:10:00.000";
  EXPECT_EQ(clockTicksAfter(t, 100, 0, 5996), 599);
  EXPECT_EQ(steadyPollsToSkip(t, 100, 5, 6, INT64_MAX), 6) << "one more change: at 22:00:01.000, poll 7";
  EXPECT_EQ(steadyPollsToSkip(t, 100, 0, 60.0 * 10, t + 1000), 9) << "polls end before the stop only";
  EXPECT_EQ(steadyPollsToSkip(t, 100, 6, 6, INT64_MAX), 0) << "the dwell is over";
  EXPECT_EQ(steadyPollsToSkip(t, 0, 0, 600, INT64_MAX), 0) << "a pause of 0 never jumps";
  EXPECT_EQ(steadyPollsToSkip(t, 1001, 0, 600, INT64_MAX), 0) << "nor one over a second";
  for (double huge : {1e15, 1e300, std::numeric_limits<double>::infinity()}) {
    std::int64_t polls = steadyPollsToSkip(t, 100, 0, huge, INT64_MAX);
    // The 10^12th change comes 10^12 s - 0.3 s after t; the poll that counts it is not skipped.
    EXPECT_EQ(polls, 10'000'000'000'000 - 3 - 1) << huge << ": 10^12 changes at most";
    EXPECT_LT(static_cast<double>(clockTicksAfter(t, 100, 0, polls)), huge);
  }
}

// Whole nights: every record, every byte and the end, jumping or not.
struct NightCase {
  const char* what;
  IniValues ini;
  std::string adf;
  const char* start;
  std::int64_t stopAfterHours = -1;
};

Trace night(const NightCase& c, bool jumps) {
  SimulatedClock clock(civil(c.start));
  StepByStepClock stepClock(clock);
  SimulatedMount mount(SimulatedMount::Transcript::kept);
  RecordingWindow window;
  MemoryFileStore files = nightStore(c.ini, c.adf);
  StopRequest stop;
  if (c.stopAfterHours >= 0) clock.raiseStopAt(civil(c.start) + c.stopAfterHours * 3600000, stop);
  Clock& used = jumps ? static_cast<Clock&>(clock) : stepClock;
  NightOutcome outcome = Form1(NightSeams{used, mount, window, files, stop}).Form_Load();
  Trace trace;
  trace.end = std::to_string(static_cast<int>(outcome.end));
  trace.endMs = clock.civilMs();
  trace.records = logRecords(files.files["log" + std::string(c.start).substr(0, 10) + ".txt"]);
  trace.transcript = mount.transcript();
  trace.queries = mount.positionQueries();
  trace.yields = window.eventPasses;
  return trace;
}

TEST(DwellJump, WholeNightsEqualTheirPollsOneByOne) {
  IniValues tenMinutes, limit20, longDwell, halfSecondDelay;
  tenMinutes.dwellMinutes = 10;
  limit20.decLimit = 20;
  longDwell.dwellMinutes = 90;
  longDwell.nightEnd = std::vector<double>(12, 6.0);
  halfSecondDelay.startDelaySeconds = 2.5;
  halfSecondDelay.dwellMinutes = 0.75;
  auto inWindow = [](const char* date, const char* time, double decDeg) {
    return targetLine("T   ", raHoursAtAzimuth(date, time, decDeg, 320.0), decDeg) + "\r\n";
  };
  const NightCase cases[] = {
      {"the end hour passes during a dwell", tenMinutes,
       inWindow("2026-12-07", "04:25", 10) + inWindow("2026-12-07", "04:35", 20), "2026-12-07T04:25:00"},
      {"the declination limit ends the night", limit20,
       inWindow("2026-12-06", "18:00", 10) + inWindow("2026-12-06", "18:02", 30), "2026-12-06T18:00:00"},
      {"a stop request (the rehearsal's limit) during a dwell", longDwell, inWindow("2026-12-06", "18:00", 10),
       "2026-12-06T18:00:00", 1},
      {"fractional start-up wait and dwell", halfSecondDelay,
       inWindow("2026-12-06", "18:00", 10) + inWindow("2026-12-06", "18:01", 0) + inWindow("2026-12-06", "18:02", 5),
       "2026-12-06T18:00:00"},
  };
  for (const NightCase& c : cases) {
    SCOPED_TRACE(c.what);
    Trace stepped = night(c, false);
    Trace jumped = night(c, true);
    EXPECT_EQ(jumped, stepped);
    EXPECT_LT(jumped.yields + 500, stepped.yields) << "no jump";
    EXPECT_GE(stepped.records.size(), 2u) << "the night observed something";
  }
}

}  // namespace
}  // namespace vantrel::testing
