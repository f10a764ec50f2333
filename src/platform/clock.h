// clock.h - the clock, and every wait of the program.
//
// The clock shows the civil time of the night's zone (UT + 9 h unless the
// user chose another) as two texts: the date "YYYY-MM-DD" and the time
// "HH:MM:SS". Both come from one reading, with that instant's offset.
// Every wait goes through here so that a whole night can run on a simulated
// clock that jumps over the waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "zone/civil_zone.h"

namespace vantrel {

class EventPump;
class StopRequest;

struct ClockReading {
  std::string dateText;  // 10 characters, "YYYY-MM-DD"
  std::string timeText;  // 8 characters, "HH:MM:SS"
  // How far the texts stand ahead of Universal Time at this instant.
  std::int64_t offsetMs = designOffsetMs;
};

enum class ClockUnit { second, minute };

// A clock that can cross a run of pauses in one move, because nobody watches
// the moments in between (the simulated clock of a rehearsal). A dwell whose
// every poll is known in advance uses it to skip the polls.
class ClockJumps {
 public:
  virtual ~ClockJumps() = default;
  // Universal Time, milliseconds since 1970-01-01 00:00:00. Whole minutes of
  // it are whole minutes of the civil time (offsets are whole minutes).
  virtual std::int64_t utcMs() const = 0;
  // The first instant that must be reached by an ordinary move because
  // something happens there (a stop request is raised); INT64_MAX for none.
  virtual std::int64_t stepUntilMs() const = 0;
  // Moves the clock to `utcMs`, which lies before stepUntilMs().
  virtual void jumpTo(std::int64_t utcMs) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;

  // One reading of the clock: date and time of the same instant.
  virtual ClockReading now() = 0;

  // Lets `duration` pass. Serves no events and hears no stop request: the
  // caller acts on a request after the pause.
  virtual void pause(std::chrono::milliseconds duration) = 0;

  // Waits until the clock reaches the next whole second or minute (so the
  // time text changes), serving `events` meanwhile when given, and
  // returns early when `stop` is raised.
  virtual void waitForNext(ClockUnit unit, EventPump* events, const StopRequest& stop) = 0;

  // Jumps, for a clock that can make them now; a real clock never can.
  virtual ClockJumps* jumps() { return nullptr; }
};

}  // namespace vantrel
