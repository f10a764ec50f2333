// A night for tests: its input files, made here or the examples', in memory;
// a site where it is night now for the real clock; a window that keeps what
// it was shown; and reading its log.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "astro/clock_sample.h"
#include "astro/koudo_keisan_1950.h"
#include "astro/sun_position.h"
#include "platform/simulated_clock.h"
#include "platform/window.h"
#include "support/memory_file_store.h"

namespace vantrel::testing {

// The whole of a file the test made or ships, byte for byte.
inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << "cannot read " << path;
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// A civil time "2026-12-06T18:00[:00]" in milliseconds.
inline std::int64_t civil(const std::string& text) { return *SimulatedClock::parseCivilTime(text); }

struct IniValues {
  double longitude = 135.0;
  double latitude = 35.0;
  int port = 1;
  std::vector<double> nightEnd = std::vector<double>(12, 4.5);
  double minAltitude = 10;
  double decLimit = 89;
  double parkEnabled = 1;
  double dwellMinutes = 2;
  double gridStep = 0.5;
  double passThroughValue = 0;
  double startDelaySeconds = 0;
  double raOffset = 0;
  double decOffset = 0;
};

inline std::string number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

inline std::string iniText(const IniValues& v) {
  std::string months;
  for (std::size_t i = 0; i < v.nightEnd.size(); ++i) months += (i ? "," : "") + number(v.nightEnd[i]);
  const std::string eol = "\r\n";
  return "site" + eol + number(v.longitude) + "," + number(v.latitude) + eol + "port" + eol +
         std::to_string(v.port) + eol + "end of night" + eol + months + eol + "min altitude" + eol +
         number(v.minAltitude) + eol + "dec limit" + eol + number(v.decLimit) + eol + "park" + eol +
         number(v.parkEnabled) + eol + "dwell" + eol + number(v.dwellMinutes) + eol + "grid" + eol +
         number(v.gridStep) + eol + "pass-through" + eol + number(v.passThroughValue) + eol + "delay" + eol +
         number(v.startDelaySeconds) + eol + "ra offset" + eol + number(v.raOffset) + eol + "dec offset" +
         eol + number(v.decOffset) + eol;
}

// One target line: "name" in columns 1-4, RA hours and minutes, sign,
// degrees and arc-minutes, free text, and the nine-character mask.
inline std::string targetLine(const std::string& name4, double raHours, double decDeg) {
  int h = static_cast<int>(raHours);
  double minutes = (raHours - h) * 60;
  double a = decDeg < 0 ? -decDeg : decDeg;
  int d = static_cast<int>(a);
  double arcmin = (a - d) * 60;
  char line[128];
  std::snprintf(line, sizeof line, "%-4.4s%02d%04.1f %c%02d%04.1f", name4.c_str(), h, minutes,
                decDeg < 0 ? '-' : '+', d, arcmin);
  return line + std::string(" target000000000");
}

// The two input files of a night, in memory.
inline MemoryFileStore nightStore(const IniValues& ini, const std::string& adf) {
  MemoryFileStore files;
  files.files = {{"vantrel.ini", iniText(ini)}, {"vantrel.adf", adf}};
  return files;
}

#ifdef VANTREL_SOURCE_DIR
// The examples/ folder's two files as they ship.
inline MemoryFileStore examplesStore() {
  MemoryFileStore files;
  for (std::string name : {"vantrel.ini", "vantrel.adf"}) {
    files.files[name] = readFile(VANTREL_SOURCE_DIR "/examples/" + name);
  }
  return files;
}
#endif

// A right ascension (hours, to 0.1 minute) at which a star of declination
// `decDeg` stands at about azimuth `wantAz` at the given civil time, seen
// from latitude 35 and `longitude`.
inline double raHoursAtAzimuth(const std::string& date, const std::string& time, double decDeg, double wantAz,
                               double longitude = 135.0, double minAltitude = -90) {
  ClockSample sample = sampleClock(date, time);
  double best = 0, bestError = 1e9;
  for (int tenths = 0; tenths < 24 * 600; ++tenths) {
    double hours = tenths / 600.0;
    HorizontalPosition p = koudo_keisan_1950(hours * 15, decDeg, 35.0, longitude, sample);
    double error = std::abs(p.outAz - wantAz);
    if (p.outAlt > minAltitude && error < bestError) bestError = error, best = hours;
  }
  return best;
}

// For tests on the real clock: the longitude (in steps of 15 degrees) where
// the Sun stands lowest at latitude 35 at the civil time, so that a night
// started now is a night, away from the Sun, whatever the hour of the test.
inline double nightLongitude(const std::string& date, const std::string& time) {
  double best = 135.0, lowest = 90;
  for (double longitude = -165; longitude <= 180; longitude += 15) {
    double alt = sunPosition(civilTextsToMjdUt(date, time), 35.0, longitude).altDeg;
    if (alt < lowest) lowest = alt, best = longitude;
  }
  EXPECT_LT(lowest, -18) << "no longitude where it is night at " << date << " " << time;
  return best;
}

// For tests on the real clock: a night at a site where the Sun is down at
// `civilMs`, that never ends by the clock and keeps nothing below the horizon.
struct NightNow {
  ClockReading now;
  IniValues ini;
  explicit NightNow(std::int64_t civilMs) : now(civilReading(civilMs)) {
    ini.longitude = nightLongitude(now.dateText, now.timeText);
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

// Keeps the titles it was shown and counts the passes that served it.
class RecordingWindow : public Window {
 public:
  std::vector<std::string> titles;
  std::vector<std::string> statuses;
  int eventPasses = 0;
  bool chart = false;          // asks for the sky of every pass
  std::vector<SkyView> skies;  // what it was shown
  void setTitle(const std::string& title) override { titles.push_back(title); }
  void processEvents() override { ++eventPasses; }
  void showStatus(const std::string& line) override { statuses.push_back(line); }
  bool wantsSky() const override { return chart; }
  void showSky(const SkyView& sky) override { skies.push_back(sky); }
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
