#include "night/scripted_weather.h"

#include <algorithm>
#include <sstream>

#include "platform/clock.h"
#include "simulation/simulated_clock.h"
#include "status/night_status.h"

namespace vantrel {

std::optional<WeatherStep> parseWeatherStep(const std::string& text) {
  std::istringstream in(text);
  std::string time, state;
  if (!(in >> time >> state)) return std::nullopt;
  std::optional<std::int64_t> at = SimulatedClock::parseCivilTime(time);
  if (!at) return std::nullopt;
  WeatherStep step;
  step.civilMs = *at;
  if (state == "safe") {
    step.reading.state = Weather::safe;
  } else if (state == "warning") {
    step.reading.state = Weather::warning;
  } else if (state == "unsafe") {
    step.reading.state = Weather::unsafe;
  } else {
    return std::nullopt;
  }
  std::getline(in >> std::ws, step.reading.why);
  return step;
}

ScriptedWeather::ScriptedWeather(Clock& clock, std::vector<WeatherStep> steps)
    : clock_(clock), steps_(std::move(steps)) {
  std::stable_sort(steps_.begin(), steps_.end(),
                   [](const WeatherStep& a, const WeatherStep& b) { return a.civilMs < b.civilMs; });
}

WeatherReading ScriptedWeather::now() {
  ClockReading reading = clock_.now();
  const std::int64_t nowMs = civilSeconds(reading.dateText, reading.timeText) * 1000;
  WeatherReading current;
  for (const WeatherStep& step : steps_) {
    if (step.civilMs > nowMs) break;
    current = step.reading;
  }
  return current;
}

}  // namespace vantrel
