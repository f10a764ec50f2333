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
  const Weather states[] = {Weather::safe, Weather::warning, Weather::unsafe};
  const auto named = std::find_if(std::begin(states), std::end(states),
                                  [&](Weather w) { return state == weatherName(w); });
  if (named == std::end(states)) return std::nullopt;
  step.reading.state = *named;
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
