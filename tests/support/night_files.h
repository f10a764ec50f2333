// A night for tests: its input files, made here or the examples', in memory;
// a site where it is night now for the real clock; a window that keeps what
// it was shown; and reading its log.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "astro/clock_sample.h"
#include "astro/koudo_keisan_1950.h"
#include "astro/sun_position.h"
#include "e2e/process.h"
#include "simulation/simulated_clock.h"
#include "platform/event_pump.h"
#include "support/memory_file_store.h"

namespace vantrel::testing {

using e2e::readFile;

// A civil time "2026-12-06T18:00[:00]" in milliseconds.
inline std::int64_t civil(const std::string& text) { return *SimulatedClock::parseCivilTime(text); }

struct IniValues {
  double longitude = 135.0, latitude = 35.0;
  double port = 1;
  std::vector<double> nightEnd = std::vector<double>(12, 4.5);
  double minAltitude = 10, decLimit = 89, parkEnabled = 1, dwellMinutes = 2, gridStep = 0.5;
  double passThroughValue = 0, startDelaySeconds = 0, raOffset = 0, decOffset = 0;
};

inline std::string number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

// The site file: each title on a line of its own, its value on the next.
inline std::string iniText(const IniValues& v) {
  std::string months, text;
  for (double hour : v.nightEnd) months += (months.empty() ? "" : ",") + number(hour);
  const std::pair<const char*, std::string> items[] = {
      {"site", number(v.longitude) + "," + number(v.latitude)}, {"port", number(v.port)},
      {"end of night", months}, {"min altitude", number(v.minAltitude)}, {"dec limit", number(v.decLimit)},
      {"park", number(v.parkEnabled)}, {"dwell", number(v.dwellMinutes)}, {"grid", number(v.gridStep)},
      {"pass-through", number(v.passThroughValue)}, {"delay", number(v.startDelaySeconds)},
      {"ra offset", number(v.raOffset)}, {"dec offset", number(v.decOffset)}};
  for (const auto& [title, value] : items) text += title + std::string("\r\n") + value + "\r\n";
  return text;
}

// One target line: "name" in columns 1-4, RA hours and minutes, sign,
// degrees and arc-minutes, free text, and the nine-character mask.
inline std::string targetLine(const std::string& name4, double raHours, double decDeg) {
  const int h = static_cast<int>(raHours), d = static_cast<int>(std::abs(decDeg));
  char line[128];
  std::snprintf(line, sizeof line, "%-4.4s%02d%04.1f %c%02d%04.1f target000000000", name4.c_str(), h,
                (raHours - h) * 60, decDeg < 0 ? '-' : '+', d, (std::abs(decDeg) - d) * 60);
  return line;
}

#ifdef VANTREL_SOURCE_DIR
// The examples/ folder's two files as they ship.
inline MemoryFileStore examplesStore() {
  MemoryFileStore files;
  for (std::string name : {"vantrel.ini", "vantrel.adf"}) files.files[name] = readFile(VANTREL_SOURCE_DIR "/examples/" + name);
  return files;
}
#endif

// A right ascension (hours, to 0.1 minute) at which a star of declination
// `decDeg` stands at about azimuth `wantAz` at the given civil time of the
// night's zone, seen from latitude 35 and `longitude`.
inline double raHoursAtAzimuth(const std::string& date, const std::string& time, double decDeg, double wantAz,
                               double longitude = 135.0, double minAltitude = -90) {
  const ClockSample sample = sampleClock(date, time, zoneOffsetDays(civilReading(*SimulatedClock::parseCivilTime(date + "T" + time)).offsetMs));
  double best = 0, bestError = 1e9;
  for (int tenths = 0; tenths < 24 * 600; ++tenths) {
    HorizontalPosition p = koudo_keisan_1950(tenths / 600.0 * 15, decDeg, 35.0, longitude, sample);
    double error = std::abs(p.outAz - wantAz);
    if (p.outAlt > minAltitude && error < bestError) bestError = error, best = tenths / 600.0;
  }
  return best;
}

// For tests on the real clock: a night at a site where the Sun is down at
// `civilMs`, that never ends by the clock and keeps nothing below the horizon.
struct NightNow {
  ClockReading now;
  IniValues ini;
  explicit NightNow(std::int64_t civilMs) : now(civilReading(civilMs)) {
    // The longitude (in steps of 15 degrees) where the Sun stands lowest at
    // latitude 35, so that a night started now is a night, away from the Sun.
    double lowest = 90;
    for (double longitude = -165; longitude <= 180; longitude += 15) {
      double alt = sunPosition(civilTextsToMjdUt(now.dateText, now.timeText, zoneOffsetDays(now.offsetMs)), 35.0, longitude).altDeg;
      if (alt < lowest) lowest = alt, ini.longitude = longitude;
    }
    EXPECT_LT(lowest, -18) << "no longitude where it is night at " << now.dateText << " " << now.timeText;
    ini.nightEnd = std::vector<double>(12, 5.99);
    ini.minAltitude = 0;
  }
  // The right ascension, and the line, of declination `decDeg` that stands
  // near azimuth `azDeg` now, above `minAltitude`.
  double raHours(double decDeg, double azDeg, double minAltitude = -90) const {
    return raHoursAtAzimuth(now.dateText, now.timeText.substr(0, 5), decDeg, azDeg, ini.longitude, minAltitude);
  }
  std::string line(const std::string& name4, double decDeg, double azDeg, double minAltitude = -90) const {
    return targetLine(name4, raHours(decDeg, azDeg, minAltitude), decDeg) + "\r\n";
  }
};

// Counts the passes that served it.
class CountingEvents : public EventPump {
 public:
  int eventPasses = 0;
  void processEvents() override { ++eventPasses; }
};

// The records of a log without their CR LF; a record without one fails the test.
inline std::vector<std::string> logRecords(const std::string& text) {
  std::vector<std::string> records;
  for (std::size_t at = 0, end; at < text.size(); at = end + 2) {
    end = text.find("\r\n", at);
    EXPECT_NE(end, std::string::npos) << "a record without CR LF: " << text.substr(at);
    end = std::min(end, text.size());
    records.push_back(text.substr(at, end - at));
  }
  return records;
}

}  // namespace vantrel::testing
