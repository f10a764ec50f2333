// A dwell crossed in one jump of the simulated clock must be the dwell polled
// one by one: the same ending at the same instant, the same records, the same
// bytes on the line, the same progress told to a watcher. Each case runs on a
// clock that jumps and on one that cannot.
#include <gtest/gtest.h>

#include <cmath>

#include "mount/dwell_jump.h"
#include "mount/supervision.h"
#include "simulation/simulated_mount.h"
#include "platform/stop_request.h"
#include "support/night_files.h"

namespace vantrel::testing {
namespace {

struct DwellCase {
  std::int64_t startMs;  // civil time of the goto
  double dwellMinutes;
  std::int64_t pauseMs = 100;
  double decDeg = 30;             // the limit is 45
  std::int64_t stopAfterMs = -1;  // the clock raises a stop request this long after the goto
  bool limitArmed = true;
};

// What a run leaves behind, and the passes that served the window (a jump serves none).
std::pair<std::string, int> supervise(const DwellCase& c, bool jumps, bool watched) {
  SimulatedClock clock(c.startMs);
  if (!jumps) clock.onAdvance = [](std::int64_t) {};  // a clock with a watcher of its own never jumps
  SimulatedMount mount(SimulatedMount::Transcript::kept);
  CountingEvents window;
  StopRequest stop;
  if (c.stopAfterMs >= 0) clock.raiseStopAt(c.startMs + c.stopAfterMs, stop);
  std::ostringstream trace;
  trace.precision(17);
  SupervisionSettings settings{1, 0, 45, c.dwellMinutes, std::chrono::milliseconds(c.pauseMs), {}, c.limitArmed};
  if (watched)
    settings.onProgress = [&](const DwellProgress& p) { trace << ' ' << p.countedChanges << '@' << clock.civilMs(); };
  SupervisionResult result = superviseTarget({15, c.decDeg}, settings, {mount, clock, window, stop},
                                             [&](double dec) { trace << " record " << dec; });
  trace << " end " << static_cast<int>(result.end) << " at " << clock.civilMs() << ", reported " << result.reportedDec
        << ", " << mount.positionQueries() << " queries:";
  for (const MountEvent& e : mount.transcript()) trace << " " << e;
  return {trace.str(), window.eventPasses};
}

TEST(DwellJump, EqualsThePollsOneByOne) {
  const std::int64_t t = civil("2026-12-06T22:00:00"), beforeMidnight = civil("2026-12-06T23:59:58");
  std::vector<DwellCase> cases = {
      {t, 0}, {t, -2.5}, {t, NAN}, {t + 999, 0.001}, {t + 437, 1.2345}, {t + 250, 180}, {beforeMidnight + 700, 0.1},
      {t, 10, 100, 50},                  // above the limit at once
      {t + 20, 10, 100, 50, -1, false},  // above the limit, not armed: the whole dwell
      {t + 20, 10, 100, 30, 123456},     // a stop during the dwell
      {t, 10, 100, 30, 60000},           // a stop on a poll's instant
      {t, 10, 100, 30, 50},              // a stop before the first poll
  };
  for (std::int64_t pause : {1, 7, 333, 999, 1000, 1001}) {
    for (std::int64_t startMs : {t, t + 1, t + 999, beforeMidnight + 999}) cases.push_back({startMs, 2.5, pause});
  }
  for (const DwellCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.dwellMinutes) + " min from " + std::to_string(c.startMs % 86400000) + " ms");
    for (bool watched : {true, false}) {
      auto [polled, passes] = supervise(c, false, watched);
      auto [jumped, jumpedPasses] = supervise(c, true, watched);
      EXPECT_EQ(jumped, polled);
      const bool steady = c.dwellMinutes >= 1 && c.pauseMs == 100 && c.decDeg < 45 && c.stopAfterMs != 50;
      EXPECT_TRUE(watched || !steady || jumpedPasses * 100 < passes) << "polled one by one: no jump";
    }
  }
}

// Polls one by one would take too long: a dwell beyond any night counts 10^12
// changes at most, and the poll that counts the last is not skipped.
TEST(DwellJump, StopsShortOfTheEndingPollForAnyLength) {
  const std::int64_t t = civil("2026-12-06T22:00:00") + 300;
  for (double huge : {1e15, 1e300, HUGE_VAL})
    EXPECT_EQ(steadyPollsToSkip(t, 100, 0, huge, INT64_MAX), 10'000'000'000'000 - 3 - 1) << huge;
}

}  // namespace
}  // namespace vantrel::testing
