// night_status.h - what the night is doing now, for every view.
//
// The night driver fills one NightStatus at its yields and publishes it on a
// StatusBoard; the console line, the window and the web page only read it.
// Times are civil (the night's zone) whole seconds since 1970-01-01, as the clock's
// texts give them.
//
// Notes:
// 1) Phases follow the night: starting, waiting for the start-up delay, then
//    choosing, observing (slewing and dwelling) and waiting for a target in
//    turn, then parking and ended; a fault may end any of them.
// 2) The next goto comes from a rehearsal ahead of the night on a copy of its
//    state, made when the phase changes, not every second.
// 3) A snapshot of the board is a copy that a server thread may take while
//    the night goes on; publishing never waits for a reader (snapshot_cell.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "status/snapshot_cell.h"

namespace vantrel {

enum class NightPhase { starting, startupWait, waitingForDusk, choosing, observing, waitingForTarget, parking, ended, fault };

// "starting", "start-up delay", "waiting for dusk", "choosing", "observing", "waiting for a
// target", "parking", "ended", "fault".
const char* phaseName(NightPhase phase);

// What the rehearsal ahead found: the next goto, or the end of the night
// before any.
struct NextGoto {
  bool known = false;           // false until a look-ahead ran, or when none runs
  // row 0 and not nightEndsFirst: nothing within a day of simulated time
  bool nightEndsFirst = false;  // no further target before the night ends
  std::int64_t atSeconds = 0;   // the goto, or the end of the night when nightEndsFirst
  int row = 0;
  std::string targetName;
};

struct NightStatus {
  NightPhase phase = NightPhase::starting;
  std::int64_t nowSeconds = 0;     // the clock at the last update; 0 before the first reading
  std::int64_t phaseSinceSeconds = 0;
  std::int64_t startupEndsSeconds = 0;  // during the start-up delay (a lower bound)

  // The current target (row 0 before the first choice); it stays named after
  // its dwell until the next one is chosen.
  int row = 0;
  std::string targetName;
  double raDeg = 0;
  double decDeg = 0;
  int dwellElapsedSeconds = 0;
  int dwellTotalSeconds = 0;

  // The mount's last accepted declination reply, and where that puts it on
  // the sky (the goto's right ascension with the reported declination).
  bool reported = false;
  double reportedDecDeg = 0;
  std::int64_t reportedAtSeconds = 0;
  float mountAzDeg = 0;
  double mountAltDeg = 0;

  int observedCount = 0;
  int targetCount = 0;
  // The month's end of the night as "HH:MM"; empty before the site file is
  // read and when the night does not end by the clock (an hour of 6 or later).
  std::string nightEndText;
  bool parked = false;
  NextGoto next;
  // The summary after the end, or the fault's message.
  std::string message;
  // Tonight's log file, named once it is created; empty before.
  std::string logFileName;
};

// Seconds since the last reply, or -1 without one.
std::int64_t positionAgeSeconds(const NightStatus& status);

// "HH:MM:SS" of a civil time in seconds.
std::string clockText(std::int64_t civilSeconds);
// "YYYY-MM-DD" and "HH:MM:SS" as whole seconds; -1 when they are no time.
std::int64_t civilSeconds(const std::string& dateText, const std::string& timeText);
// "4:10" (minutes:seconds) or "1:04:10" for an hour or more.
std::string durationText(std::int64_t seconds);

// A short name for a target line: its first four columns and its free text,
// at most 28 characters ("M42 Orion Nebula, cross of f…").
std::string targetLabel(const std::string& name);

// The status in one line, e.g. "observing M42 (row 12) 4:10 of 10:00 |
// Dec +05.3 | 14/56 | next M43 at 23:41 | night ends 05:00".
std::string statusLine(const NightStatus& status);

// The one status of the night, shared between the driver and the views.
class StatusBoard {
 public:
  void publish(const NightStatus& status);
  NightStatus snapshot() const;
  // Grows by one with every publish; views redraw when it changed.
  std::uint64_t version() const { return version_.load(std::memory_order_acquire); }
  // Called with every status published, on the publishing thread, after the
  // board holds it. Set it before the night starts.
  void setListener(std::function<void(const NightStatus&)> listener) { listener_ = std::move(listener); }

 private:
  std::function<void(const NightStatus&)> listener_;
  SnapshotCell<NightStatus> status_;
  std::atomic<std::uint64_t> version_{0};
};

}  // namespace vantrel
