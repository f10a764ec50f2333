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
