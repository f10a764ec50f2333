#include "platform/simulated_clock.h"

#include <cstdio>

#include "platform/stop_request.h"
#include "platform/window.h"

namespace vantrel {

namespace {
constexpr std::int64_t msPerSecond = 1000;
constexpr std::int64_t msPerMinute = 60 * msPerSecond;
constexpr std::int64_t msPerDay = 24 * 60 * msPerMinute;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
}  // namespace

ClockReading civilReading(std::int64_t civilMs) {
  using namespace std::chrono;
  std::int64_t days = floorDiv(civilMs, msPerDay);
  std::int64_t msOfDay = civilMs - days * msPerDay;
  year_month_day ymd{sys_days{std::chrono::days{days}}};
  int secondsOfDay = static_cast<int>(msOfDay / msPerSecond);
  char date[32];
  char time[16];
  std::snprintf(date, sizeof date, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", secondsOfDay / 3600, secondsOfDay / 60 % 60,
                secondsOfDay % 60);
  return ClockReading{date, time};
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

ClockReading SimulatedClock::now() { return civilReading(civilMs_); }

void SimulatedClock::pause(std::chrono::milliseconds duration) {
  advanceTo(civilMs_ + duration.count());
}

void SimulatedClock::waitForNext(ClockUnit unit, Window* window, const StopRequest& stop) {
  if (window) window->processEvents();
  if (stop.raised()) return;
  std::int64_t step = unit == ClockUnit::second ? msPerSecond : msPerMinute;
  advanceTo((floorDiv(civilMs_, step) + 1) * step);
}

void SimulatedClock::advanceTo(std::int64_t civilMs) {
  civilMs_ = civilMs;
  if (onAdvance) onAdvance(civilMs_);
}

}  // namespace vantrel
