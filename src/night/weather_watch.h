// weather_watch.h - the night's view of a weather (safety) device.
//
// A real night asks an INDI weather device (indi/); a rehearsal and the tests
// ask a scripted source. The night asks at its yields and in every poll of a
// dwell; an answer must come at once (from what the watch already holds),
// never after a wait on the device.
#pragma once

#include <string>

namespace vantrel {

enum class Weather { safe, warning, unsafe };

// "safe", "warning", "unsafe": the status's words, and a script's.
inline const char* weatherName(Weather state) {
  switch (state) {
    case Weather::safe: return "safe";
    case Weather::warning: return "warning";
    case Weather::unsafe: return "unsafe";
  }
  return "?";
}

struct WeatherReading {
  Weather state = Weather::safe;
  // For people, when it is not safe: "rain", "wind", "no word from the
  // weather device for 60 s".
  std::string why;
};

class WeatherWatch {
 public:
  virtual ~WeatherWatch() = default;
  // How it stands now. A device that cannot be heard for longer than the
  // watch's grace time is unsafe.
  virtual WeatherReading now() = 0;
};

}  // namespace vantrel
