// "mode: positions": the astronomy of one instant, one case a line, every value printed in full so that
// the golden block pins the worked numbers bit for bit. Values that pass through sin, cos or atan are
// printed to 15 digits: glibc picks its routines by processor at run time, and they may differ there in
// the last bits (the transcription test in astro_tests pins those bits against this machine's libm).
#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>

#include "astro/koudo_keisan_1950.h"
#include "astro/sun_position.h"
#include "scenarios/scenario.h"

namespace vantrel::testing {
namespace {

std::string g(double v, int digits = 17) {
  char text[48];
  std::snprintf(text, sizeof text, " %.*g", digits, v);
  return text;
}

// "m-30": the right ascension whose alpha is theta exactly (H = 0), then moved by the offset.
double rightAscension(const std::string& text, const ClockSample& sample, double longitude) {
  if (text[0] != 'm') return std::stod(text);
  const double theta = localSiderealAngle(sample, longitude);
  double ra = theta / std::numbers::pi * 180;
  for (int step = 0; step < 64; ++step) ra = std::nextafter(ra, 0.0);
  for (int step = 0; step < 128 && (ra / 180) * std::numbers::pi != theta; ++step) ra = std::nextafter(ra, 360.0);
  return ra + std::stod(text.substr(1));
}

std::string position(std::istringstream in) {
  std::string date, time, ra;
  double lat, lon, dec;
  in >> date >> time >> lat >> lon >> ra >> dec;
  const ClockSample s = sampleClock(date, time);
  const detail::KoudoKeisanTrace t = detail::koudo_keisan_1950_trace(rightAscension(ra, s, lon), dec, lat, lon, s);
  const detail::AzimuthAltitude& a = t.horizontal;
  return "H" + g(t.H) + " X" + g(t.X, 15) + " Y" + g(t.Y, 15) + " Sn" + g(t.Sn, 15) + " A0" + g(a.A0, 15) + " A" +
         g(a.A, 15) + " As" + g(a.As, 9) + " C" + g(a.C, 15) + " h" + g(a.h, 15) + " az" + g(a.outAz, 9) + " alt" +
         g(a.outAlt, 13);
}

Outcome runPositions(const Scenario& scenario) {
  std::vector<std::string> rows;
  for (const Section& row : scenario.sections) {
    std::istringstream in(row.value);
    std::string date, time, out;
    double a, b, c, d;
    if (row.key == "position") out = position(std::move(in));
    if (const std::size_t bar = row.value.find('|'); row.key == "clock") {
      const ClockSample c = sampleClock(row.value.substr(0, bar), row.value.substr(bar + 1));
      out = g(c.clockYear) + g(c.clockMonth) + g(c.clockDay) + g(c.clockDayFraction, 9) + " [" + c.cycleDateText +
            "|" + c.cycleTimeText + "]";
    }
    if (row.key == "components" && in >> a >> b >> c) {
      const detail::AzimuthAltitude z = detail::azimuthAltitude(a, b, c);
      out = " az" + g(z.outAz, 9) + " alt" + g(z.outAlt);
    }
    if (row.key == "day" && in >> a >> b >> c) out = g(modifiedJulianDay(a, b, c));
    if (row.key == "civil" && in >> date >> time) out = g(civilTextsToMjdUt(date, time));
    if (row.key == "apart" && in >> a >> b >> c >> d) out = g(separationDeg(a, b, c, d), 12);
    if (row.key == "sidereal" && in >> date >> time >> a) {
      const detail::SiderealTrace t = detail::siderealTrace(sampleClock(date, time), a);
      out = "N" + g(t.N) + " T" + g(t.T) + " L" + g(t.L) + " S" + g(t.S) + " F" + g(t.F) + " theta" + g(t.theta);
    }
    if (!out.empty()) rows.push_back(row.key + " " + row.value + ":" + out);
  }
  return Outcome{{{"rows", rows}}, {}};
}

const bool added = addMode("positions", runPositions);

}  // namespace
}  // namespace vantrel::testing
