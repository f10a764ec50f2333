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

class SimulatedClock : public Clock {
 public:
  // Milliseconds since 1970-01-01 00:00:00 of the clock's own civil time.
  explicit SimulatedClock(std::int64_t civilMs = 0) : civilMs_(civilMs) {}

  // "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS" (a blank may stand for the T);
  // nothing when the text is not such a time.
  static std::optional<std::int64_t> parseCivilTime(std::string_view text);

  ClockReading now() override;
  void pause(std::chrono::milliseconds duration) override;
  void waitForNext(ClockUnit unit, Window* window, const StopRequest& stop) override;

  std::int64_t civilMs() const { return civilMs_; }
  void setCivilMs(std::int64_t civilMs) { civilMs_ = civilMs; }

  // Called after every move of the clock, with the new time; tests use it to
  // raise stop requests or change the mount at a given moment.
  std::function<void(std::int64_t civilMs)> onAdvance;

 private:
  void advanceTo(std::int64_t civilMs);
  std::int64_t civilMs_;
};

// Date and time texts of a civil time in milliseconds since 1970-01-01.
ClockReading civilReading(std::int64_t civilMs);

}  // namespace vantrel
