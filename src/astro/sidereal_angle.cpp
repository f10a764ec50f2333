// sidereal_angle.cpp - Universal Time and the local sidereal angle.
//
// Given:
//    sample         ClockSample  date and day fraction of the clock, and the
//                                offset of its zone
//    siteLongitude  double       degrees, east positive
// Returned:
//    N, T      Modified Julian Date of the date, and of the instant in UT
//    L, S, F   longitude, local sidereal time and its fraction, in turns
//    theta     local sidereal angle, radians, [0, 2 pi)
// Notes:
// 1) The clock shows civil time: its zone's offset is subtracted (0.375 day
//    for the design's UT + 9 h), whatever the zone of the computer.
// 2) The sidereal time advances 1.002737803 turns per day from 0.6705199
//    turns at MJD 40000.0 UT on the meridian of Greenwich. With positions of
//    equinox 1950.0 this stands in for precession: it is reckoned from the
//    1950 equinox, not the equinox of date.
// 3) The single-precision day fraction is widened exactly before it is
//    added. Every formula is evaluated in the order written.
#include <cmath>
#include <numbers>

#include "astro/koudo_keisan_1950.h"

namespace vantrel {
namespace detail {

SiderealTrace siderealTrace(const ClockSample& sample, double siteLongitude) {
  constexpr double pi = std::numbers::pi;
  SiderealTrace t;
  t.N = modifiedJulianDay(sample.clockYear, sample.clockMonth, sample.clockDay);
  t.T = (t.N + static_cast<double>(sample.clockDayFraction)) - sample.zoneOffsetDays;

  const double lambda = (pi * siteLongitude) / 180;
  t.L = lambda / (2 * pi);
  t.S = ((t.T - 40000) * 1.002737803 + 0.670519900000001) + t.L;
  t.F = t.S - std::floor(t.S);
  t.theta = (2 * pi) * t.F;
  return t;
}

}  // namespace detail

double localSiderealAngle(const ClockSample& sample, double siteLongitude) {
  return detail::siderealTrace(sample, siteLongitude).theta;
}

}  // namespace vantrel
