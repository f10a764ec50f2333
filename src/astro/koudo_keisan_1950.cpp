// koudo_keisan_1950.cpp - azimuth and altitude of a 1950.0 position.
//
// The routine as the positions have always been computed, step by step:
//    alpha = (inRa / 180) pi,  delta = (inDec / 180) pi,
//    phi = (siteLatitude pi) / 180 (the product first)
//    theta   local sidereal angle of the sample (sidereal_angle.cpp)
//    H  = theta - alpha, west positive, not reduced to a range
//    X  = (-sin delta cos phi) + ((sin phi cos delta) cos H)
//    Y  = cos delta sin H
//    Sn = (sin delta sin phi) + ((cos phi cos delta) cos H)
//    then the azimuth and altitude (azimuth_altitude.cpp).
// Each formula is evaluated in the order written and the build forbids FMA
// contraction: the order decides the last bit, and the scan of the night
// compares single-precision azimuths that must come out the same everywhere.
// PositionPass gives the same bits for many rows; this file stays the plain
// statement of the arithmetic it is measured against.
#include "astro/koudo_keisan_1950.h"

#include <cmath>
#include <numbers>

namespace vantrel {
namespace detail {

KoudoKeisanTrace koudo_keisan_1950_trace(double inRa, double inDec, double siteLatitude, double siteLongitude,
                                         const ClockSample& sample) {
  constexpr double pi = std::numbers::pi;
  KoudoKeisanTrace t;
  t.alpha = (inRa / 180) * pi;
  t.delta = (inDec / 180) * pi;
  t.phi = (siteLatitude * pi) / 180;
  t.sidereal = siderealTrace(sample, siteLongitude);

  t.H = t.sidereal.theta - t.alpha;
  const double cosPhi = std::cos(t.phi);
  const double cosDelta = std::cos(t.delta);
  const double sinPhi = std::sin(t.phi);
  const double cosH = std::cos(t.H);
  const double sinDelta = std::sin(t.delta);
  const double sinH = std::sin(t.H);

  t.X = (-sinDelta * cosPhi) + ((sinPhi * cosDelta) * cosH);
  t.Y = cosDelta * sinH;
  t.Sn = (sinDelta * sinPhi) + ((cosPhi * cosDelta) * cosH);
  t.horizontal = azimuthAltitude(t.X, t.Y, t.Sn);
  return t;
}

}  // namespace detail

HorizontalPosition koudo_keisan_1950(double inRa, double inDec, double siteLatitude, double siteLongitude,
                                     const ClockSample& sample) {
  const detail::KoudoKeisanTrace t =
      detail::koudo_keisan_1950_trace(inRa, inDec, siteLatitude, siteLongitude, sample);
  return HorizontalPosition{t.horizontal.outAz, t.horizontal.outAlt};
}

}  // namespace vantrel
