#include "simulation/simulated_clock.h"

#include <cstdio>

#include "platform/stop_request.h"
#include "platform/event_pump.h"

namespace vantrel {

namespace {
constexpr std::int64_t msPerSecond = 1000;
constexpr std::int64_t msPerMinute = 60 * msPerSecond;
constexpr std::int64_t msPerDay = 24 * 60 * msPerMinute;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Writes `value` as `width` decimal digits into `out`.
void putDigits(char* out, int width, unsigned value) {
  for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
}

}  // namespace

// A rehearsal reads the clock at every position query, thousands of times a
// dwell: the texts are put together digit by digit rather than through printf.
ClockReading civilReading(std::int64_t civilMs) {
  const CivilZone& zone = civilZone();
  return civilReading(civilMs, zone.offsetMsAt(zone.utcMs(civilMs)));
}

ClockReading civilReading(std::int64_t civilMs, std::int64_t offsetMs) {
  using namespace std::chrono;
  std::int64_t days = floorDiv(civilMs, msPerDay);
  std::int64_t msOfDay = civilMs - days * msPerDay;
  year_month_day ymd{sys_days{std::chrono::days{days}}};
  const int year = static_cast<int>(ymd.year());
  const auto secondsOfDay = static_cast<unsigned>(msOfDay / msPerSecond);
  ClockReading reading{std::string(10, '-'), std::string(8, ':'), offsetMs};
  if (year >= 0 && year <= 9999) {
    putDigits(reading.dateText.data(), 4, static_cast<unsigned>(year));
  } else {
    // Years beyond four digits keep the form "%04d" gives them.
    char text[16];
    std::snprintf(text, sizeof text, "%04d", year);
    reading.dateText.replace(0, 4, text);
  }
  const std::size_t at = reading.dateText.size() - 6;  // "-MM-DD" follows the year
  putDigits(reading.dateText.data() + at + 1, 2, static_cast<unsigned>(ymd.month()));
  putDigits(reading.dateText.data() + at + 4, 2, static_cast<unsigned>(ymd.day()));
  putDigits(reading.timeText.data(), 2, secondsOfDay / 3600);
  putDigits(reading.timeText.data() + 3, 2, secondsOfDay / 60 % 60);
  putDigits(reading.timeText.data() + 6, 2, secondsOfDay % 60);
  return reading;
}

std::optional<std::int64_t> SimulatedClock::parseCivilTime(std::string_view text) {
  int y, mo, d, h, mi, s = 0;
  char sep;
  int used = 0;
  std::string copy(text);
  int fields = std::sscanf(copy.c_str(), "%4d-%2d-%2d%c%2d:%2d%n", &y, &mo, &d, &sep, &h, &mi, &used);
  if (fields != 6 || (sep != 'T' && sep != ' ')) return std::nullopt;
  if (static_cast<std::size_t>(used) < copy.size()) {
    int more = 0;
    if (std::sscanf(copy.c_str() + used, ":%2d%n", &s, &more) != 1 ||
        static_cast<std::size_t>(used + more) != copy.size()) {
      return std::nullopt;
    }
  }
  using namespace std::chrono;
  year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
  if (!ymd.ok() || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) return std::nullopt;
  std::int64_t days = sys_days{ymd}.time_since_epoch().count();
  return days * msPerDay + ((h * 60 + mi) * 60 + s) * msPerSecond;
}

ClockReading SimulatedClock::now() {
  const std::int64_t offset = zone_->offsetMsAt(utcMs_);
  return civilReading(utcMs_ + offset, offset);
}

void SimulatedClock::pause(std::chrono::milliseconds duration) { advanceTo(utcMs_ + duration.count()); }

void SimulatedClock::waitForNext(ClockUnit unit, EventPump* events, const StopRequest& stop) {
  if (events) events->processEvents();
  if (stop.raised()) return;
  std::int64_t step = unit == ClockUnit::second ? msPerSecond : msPerMinute;
  // The next whole step of the civil time, as an instant (see PosixClock).
  const std::int64_t offset = zone_->offsetMsAt(utcMs_);
  advanceTo((floorDiv(utcMs_ + offset, step) + 1) * step - offset);
}

void SimulatedClock::raiseStopAt(std::int64_t civilMs, StopRequest& stop) {
  stopAtMs_ = zone_->utcMs(civilMs);
  stop_ = &stop;
  stopRaised_ = false;
}

std::int64_t SimulatedClock::stepUntilMs() const { return stop_ != nullptr && !stopRaised_ ? stopAtMs_ : INT64_MAX; }

void SimulatedClock::advanceTo(std::int64_t utcMs) {
  utcMs_ = utcMs;
  if (stop_ != nullptr && !stopRaised_ && utcMs_ >= stopAtMs_) {
    stopRaised_ = true;
    stop_->raise();
  }
  if (onAdvance) onAdvance(civilMs());
}

}  // namespace vantrel
