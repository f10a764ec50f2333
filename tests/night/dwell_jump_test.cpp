// A dwell crossed in one jump of the simulated clock must be the dwell polled
// one by one: the same ending at the same instant, the same records, the same
// bytes on the line. Each case runs twice, once on a clock that cannot jump.
// Whole nights over jumps are tests/scenarios/*.night.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "mount/dwell_jump.h"
#include "mount/supervision.h"
#include "platform/simulated_clock.h"
#include "platform/simulated_mount.h"
#include "platform/stop_request.h"
#include "support/night_files.h"

namespace vantrel::testing {
namespace {

// What a run leaves behind: the ending and its instant, the records, every
// event on the line; what a watcher of the dwell was told, and when; and the
// passes that served the window (not compared: a jump serves none).
struct Dwell {
  std::string trace, progress;
  int yields = 0;
};

struct DwellCase {
  const char* what;
  std::int64_t startMs;  // civil time of the goto
  double dwellMinutes;
  std::int64_t pauseMs;
  double decDeg = 30, decLimit = 45;
  std::int64_t stopAfterMs = -1;  // the clock raises a stop request this long after the goto; -1 none
  bool limitArmed = true;
};

Dwell supervise(const DwellCase& c, bool jumps, bool watched) {
  SimulatedClock clock(c.startMs);
  if (!jumps) clock.onAdvance = [](std::int64_t) {};  // a watched clock never jumps: every poll is made
  SimulatedMount mount(SimulatedMount::Transcript::kept);
  RecordingWindow window;
  StopRequest stop;
  if (c.stopAfterMs >= 0) clock.raiseStopAt(c.startMs + c.stopAfterMs, stop);
  SupervisionSettings settings{1,  0, c.decLimit, c.dwellMinutes, std::chrono::milliseconds(c.pauseMs),
                               {}, c.limitArmed};
  Dwell run;
  std::ostringstream trace;
  trace.precision(17);
  if (watched) {
    settings.onProgress = [&](const DwellProgress& p) {
      run.progress += std::to_string(p.countedChanges) + " at " + std::to_string(clock.civilMs()) + "; ";
    };
  }
  SupervisionResult result = superviseTarget({15, c.decDeg}, settings, {mount, clock, window, stop}, [&](double dec) {
    trace << "record " << dec << "; ";
  });
  trace << "end " << static_cast<int>(result.end) << " at " << clock.civilMs() << ", reported " << result.reportedDec
        << ", " << mount.positionQueries() << " queries:";
  for (const MountEvent& e : mount.transcript()) trace << " " << e;
  run.trace = trace.str();
  run.yields = window.eventPasses;
  return run;
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
    Dwell stepped = supervise(c, false, true), watched = supervise(c, true, true), jumped = supervise(c, true, false);
    EXPECT_EQ(watched.trace, stepped.trace);
    EXPECT_EQ(watched.progress, stepped.progress);
    EXPECT_EQ(jumped.trace, stepped.trace);
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

}  // namespace
}  // namespace vantrel::testing
