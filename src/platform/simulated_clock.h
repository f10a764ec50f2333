// simulated_clock.h - a clock that jumps over every wait.
//
// Holds the civil time UT + 9 h to the millisecond. A pause moves it by the
// pause; waitForNext moves it to the next whole second or minute. Reading it
// takes no time. Tests and the rehearsal run whole nights on it in
// milliseconds.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace vantrel {

class StopRequest;

class SimulatedClock : public Clock, public ClockJumps {
 public:
  // Milliseconds since 1970-01-01 00:00:00 of the clock's own civil time.
  explicit SimulatedClock(std::int64_t civilMs = 0) : civilMs_(civilMs) {}

  // "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS" (a blank may stand for the T);
  // nothing when the text is not such a time.
  static std::optional<std::int64_t> parseCivilTime(std::string_view text);

  ClockReading now() override;
  void pause(std::chrono::milliseconds duration) override;
  void waitForNext(ClockUnit unit, Window* window, const StopRequest& stop) override;

  // Jumps only while onAdvance is empty: a watcher sees every move.
  ClockJumps* jumps() override { return onAdvance ? nullptr : this; }

  std::int64_t civilMs() const override { return civilMs_; }
  std::int64_t stepUntilMs() const override;
  void jumpTo(std::int64_t civilMs) override { civilMs_ = civilMs; }
  void setCivilMs(std::int64_t civilMs) { civilMs_ = civilMs; }

  // Raises `stop` once, at the first move that reaches `civilMs`.
  void raiseStopAt(std::int64_t civilMs, StopRequest& stop);
  bool raisedStop() const { return stopRaised_; }

  // Called after every move of the clock, with the new time; tests use it to
  // raise stop requests or change the mount at a given moment.
  std::function<void(std::int64_t civilMs)> onAdvance;

 private:
  void advanceTo(std::int64_t civilMs);
  std::int64_t civilMs_;
  std::int64_t stopAtMs_ = INT64_MAX;
  StopRequest* stop_ = nullptr;
  bool stopRaised_ = false;
};

// Date and time texts of a civil time in milliseconds since 1970-01-01.
ClockReading civilReading(std::int64_t civilMs);

}  // namespace vantrel
