// posix_clock.h - the real clock: the civil time of the night's zone from the
// system's UTC clock, whatever time zone the machine is set to.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace vantrel {

class PosixClock : public Clock {
 public:
  ClockReading now() override;
  void pause(std::chrono::milliseconds duration) override;
  void waitForNext(ClockUnit unit, EventPump* events, const StopRequest& stop) override;

  // Milliseconds since 1970-01-01 00:00 of the night's civil time.
  static std::int64_t civilMs();
  // Universal Time, milliseconds since 1970-01-01 00:00.
  static std::int64_t utcMs();
};

}  // namespace vantrel
