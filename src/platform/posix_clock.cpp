#include "platform/posix_clock.h"

#include <time.h>

#include <algorithm>
#include <cerrno>

#include "simulation/simulated_clock.h"
#include "platform/stop_request.h"
#include "platform/event_pump.h"

namespace vantrel {
namespace {

// While waiting with an event pump, events are served at least this often so
// that a window repaints and a close is heard promptly.
constexpr std::int64_t eventSliceMs = 20;
// Without one a stop request is still heard within this time.
constexpr std::int64_t stopSliceMs = 100;

void sleepMs(std::int64_t ms) {
  timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  // A signal interrupts the sleep; the rest is slept unless the caller wants
  // to look at a stop request, which it does through short slices.
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace

std::int64_t PosixClock::utcMs() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

std::int64_t PosixClock::civilMs() { return civilZone().civilMs(utcMs()); }

ClockReading PosixClock::now() {
  const std::int64_t utc = utcMs();
  const std::int64_t offset = civilZone().offsetMsAt(utc);
  return civilReading(utc + offset, offset);
}

void PosixClock::pause(std::chrono::milliseconds duration) {
  if (duration.count() > 0) sleepMs(duration.count());
}

void PosixClock::waitForNext(ClockUnit unit, EventPump* events, const StopRequest& stop) {
  const std::int64_t step = unit == ClockUnit::second ? 1000 : 60000;
  // The next whole step of the civil time, as an instant: across a change of
  // offset the civil time jumps, Universal Time does not.
  const std::int64_t start = utcMs();
  const std::int64_t offset = civilZone().offsetMsAt(start);
  const std::int64_t target = ((start + offset) / step + 1) * step - offset;
  for (;;) {
    if (events) events->processEvents();
    if (stop.raised()) return;
    std::int64_t left = target - utcMs();
    if (left <= 0) return;
    sleepMs(std::min(left, events ? eventSliceMs : stopSliceMs));
  }
}

}  // namespace vantrel
