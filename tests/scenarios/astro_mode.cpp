// "mode: positions": the astronomy of one instant, one case a line, every value printed in full so that
// the golden block pins the worked numbers bit for bit. Values that pass through sin, cos or atan are
// printed to 15 digits: glibc picks its routines by processor at run time, and they may differ there in
// the last bits (the transcription test in astro_tests pins those bits against this machine's libm).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "astro/koudo_keisan_1950.h"
#include "astro/position_pass.h"
#include "astro/sun_position.h"
#include "simulation/simulated_clock.h"
#include "scenarios/scenario.h"
#include "tzdb/named_zone.h"

namespace vantrel::testing {
namespace {

std::string g(double v, int digits = 17) {
  char text[48];
  std::snprintf(text, sizeof text, " %.*g", digits, v);
  return text;
}

Outcome runPositions(const Scenario& scenario) {
  std::vector<std::string> rows;
  for (const Section& row : scenario.sections) {
    std::istringstream in(row.value);
    std::string date, time, out;
    double a, b, c, d;
    // position: a latitude, b longitude, c right ascension, d declination.
    if (row.key == "position" && in >> date >> time >> a >> b >> c >> d) {
      const detail::KoudoKeisanTrace t = detail::koudo_keisan_1950_trace(c, d, a, b, sampleClock(date, time));
      const detail::AzimuthAltitude& z = t.horizontal;
      out = "H" + g(t.H) + " X" + g(t.X, 15) + " Y" + g(t.Y, 15) + " Sn" + g(t.Sn, 15) + " A0" + g(z.A0, 15) + " A" +
            g(z.A, 15) + " As" + g(z.As, 9) + " C" + g(z.C, 15) + " h" + g(z.h, 15) + " az" + g(z.outAz, 9) +
            " alt" + g(z.outAlt, 13);
    }
    if (std::string x, y, sn; row.key == "components" && in >> x >> y >> sn) {
      const double X = std::strtod(x.c_str(), nullptr), Y = std::strtod(y.c_str(), nullptr);
      const detail::AzimuthAltitude z = detail::azimuthAltitude(X, Y, std::strtod(sn.c_str(), nullptr));
      const double Xs[] = {X, 1, 1, X}, Ys[] = {Y, 1, 1, Y};  // the row first and last of two pairs
      float pass[4];
      detail::singlePrecisionAzimuths(Xs, Ys, 4, pass);
      out = " az" + g(z.outAz, 9) + " alt" + g(z.outAlt, 13) + " As" + g(z.As, 9) + " pass" + g(pass[0], 9) +
            g(pass[3], 9);
    }
    // The same instant as a civil time of ZONE and as UT+9: the positions differ only by the single
    // precision of the two times of day.
    if (std::string zone; row.key == "same instant" && in >> zone >> date >> time >> a >> b >> c >> d) {
      const std::shared_ptr<const CivilZone> z = zoneFromOption(zone);
      const std::int64_t utc = z->utcMs(*SimulatedClock::parseCivilTime(date + "T" + time));
      const ClockReading ut9 = civilReading(utc + designOffsetMs, designOffsetMs);
      const HorizontalPosition there = koudo_keisan_1950(c, d, a, b, sampleClock(date, time, zoneOffsetDays(z->offsetMsAt(utc))));
      const HorizontalPosition here = koudo_keisan_1950(c, d, a, b, sampleClock(ut9.dateText, ut9.timeText));
      out = " UT+9 " + ut9.dateText + " " + ut9.timeText + ", apart az" + g(there.outAz - here.outAz, 2) + " alt" +
            g(there.outAlt - here.outAlt, 2);
    }
    if (row.key == "day" && in >> a >> b >> c) out = g(modifiedJulianDay(a, b, c));
    if (row.key == "civil" && in >> date >> time) out = g(civilTextsToMjdUt(date, time, designZoneOffsetDays));
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
