// scripted_weather.h - a weather device that follows a script, for
// rehearsals of the weather story and the tests.
//
// The script is a list of steps, each a civil time of the night's zone and
// the weather from then on; before the first step the weather is safe. Each
// reading asks the clock, so the script plays out on a simulated clock as a
// real device would on the wall clock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "night/weather_watch.h"

namespace vantrel {

class Clock;

struct WeatherStep {
  std::int64_t civilMs = 0;  // from this civil time on (ms since 1970-01-01)
  WeatherReading reading;
};

// "2026-12-06T22:14 unsafe rain": the time (as SimulatedClock::parseCivilTime
// reads it), the state (safe, warning, unsafe) and the words after it, if any;
// nothing when the text is not such a step.
std::optional<WeatherStep> parseWeatherStep(const std::string& text);

class ScriptedWeather : public WeatherWatch {
 public:
  // Steps in any order.
  ScriptedWeather(Clock& clock, std::vector<WeatherStep> steps);
  WeatherReading now() override;

 private:
  Clock& clock_;
  std::vector<WeatherStep> steps_;  // by time
};

}  // namespace vantrel
