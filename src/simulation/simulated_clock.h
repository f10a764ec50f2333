// simulated_clock.h - a clock that jumps over every wait.
//
// Holds Universal Time to the millisecond and shows it in the night's zone,
// as the real clock does. A pause moves it by the pause; waitForNext moves it
// to the next whole second or minute. Reading it takes no time. Tests and the rehearsal run whole nights on it in
// milliseconds.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace vantrel {

class StopRequest;

class SimulatedClock : public Clock, public ClockJumps {
 public:
  // Starts at a civil time (milliseconds since 1970-01-01 00:00:00) of the
  // night's zone.
  explicit SimulatedClock(std::int64_t civilMs = 0)
      : zone_(sharedCivilZone()), utcMs_(zone_->utcMs(civilMs)) {}

  // "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS" (a blank may stand for the T);
  // nothing when the text is not such a time.
  static std::optional<std::int64_t> parseCivilTime(std::string_view text);

  ClockReading now() override;
  void pause(std::chrono::milliseconds duration) override;
  void waitForNext(ClockUnit unit, EventPump* events, const StopRequest& stop) override;

  // Jumps only while onAdvance is empty: a watcher sees every move.
  ClockJumps* jumps() override { return onAdvance ? nullptr : this; }

  std::int64_t civilMs() const { return zone_->civilMs(utcMs_); }
  std::int64_t utcMs() const override { return utcMs_; }
  std::int64_t stepUntilMs() const override;
  void jumpTo(std::int64_t utcMs) override { utcMs_ = utcMs; }
  void setCivilMs(std::int64_t civilMs) { utcMs_ = zone_->utcMs(civilMs); }

  // Raises `stop` once, at the first move that reaches the civil time `civilMs`.
  void raiseStopAt(std::int64_t civilMs, StopRequest& stop);
  bool raisedStop() const { return stopRaised_; }

  // Called after every move of the clock, with the new time; tests use it to
  // raise stop requests or change the mount at a given moment.
  std::function<void(std::int64_t civilMs)> onAdvance;

 private:
  void advanceTo(std::int64_t utcMs);
  std::shared_ptr<const CivilZone> zone_;
  std::int64_t utcMs_;
  std::int64_t stopAtMs_ = INT64_MAX;
  StopRequest* stop_ = nullptr;
  bool stopRaised_ = false;
};

// Date and time texts of a civil time in milliseconds since 1970-01-01, with
// the offset it has at that instant.
ClockReading civilReading(std::int64_t civilMs, std::int64_t offsetMs);
// The same in the night's zone (a civil time of a repeated hour is taken as
// the first of the two).
ClockReading civilReading(std::int64_t civilMs);

}  // namespace vantrel
