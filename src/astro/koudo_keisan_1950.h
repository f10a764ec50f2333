// koudo_keisan_1950.h - azimuth and altitude of a 1950.0 position.
//
// Given:
//    inRa           double   right ascension, degrees, equinox 1950.0
//    inDec          double   declination, degrees
//    siteLatitude   double   degrees, north positive
//    siteLongitude  double   degrees, east positive
//    sample         ClockSample  the civil time of the cycle and its zone
// Returned:
//    outAz   float    azimuth, degrees from south through west, in (0, 360]
//    outAlt  double   geometric altitude, degrees, in [-90, 90]
// Notes:
// 1) Every formula is evaluated in the order written; the order decides the
//    last bit. Build without FMA contraction.
// 2) No precession, nutation, aberration or refraction: the sidereal time is
//    reckoned from the 1950 equinox.
// 3) The azimuth is rounded to single precision before the altitude is
//    derived from it, so the altitude depends on that rounding too.
// 4) When X is exactly 0 the azimuth is 90 (Y > 0), 270 (Y < 0) or, at the
//    zenith or nadir, 360 with an altitude of +90 or -90.
#pragma once

#include "astro/clock_sample.h"

namespace vantrel {

struct HorizontalPosition {
  float outAz = 0;
  double outAlt = 0;
};

HorizontalPosition koudo_keisan_1950(double inRa, double inDec, double siteLatitude, double siteLongitude,
                                     const ClockSample& sample);

// Modified Julian Date of 0 h of a calendar date (Julian before 1582-10-11,
// Gregorian from then on; astronomical year numbering).
double modifiedJulianDay(double year, double month, double day);

// Local sidereal angle in radians, [0, 2pi), for the sample and longitude.
double localSiderealAngle(const ClockSample& sample, double siteLongitude);

// The steps of koudo_keisan_1950 with their intermediate values. The routine
// above is built from these, so the tests see the very values it uses.
namespace detail {

// Day number, Universal Time and sidereal angle of one sample.
struct SiderealTrace {
  double N = 0;      // Modified Julian Date of 0 h of the date on the clock
  double T = 0;      // Universal Time, Modified Julian Date
  double L = 0;      // longitude, turns, east positive
  double S = 0;      // local sidereal time, turns
  double F = 0;      // S - floor(S), [0, 1)
  double theta = 0;  // (2 pi) F, radians
};
SiderealTrace siderealTrace(const ClockSample& sample, double siteLongitude);

// From the components toward south (X) and west (Y) and the sine of the
// altitude (Sn) to the azimuth and altitude.
struct AzimuthAltitude {
  double A0 = 0;  // arctan(Y / X); 0 when X is exactly 0 (not formed)
  double A = 0;   // azimuth, radians, (0, 2 pi]
  float As = 0;   // A rounded to single precision
  double C = 0;   // cosine of the altitude, X / cos(As), or |Y| when X is 0
  double h = 0;   // altitude, radians
  double outAlt = 0;
  float outAz = 0;
};
AzimuthAltitude azimuthAltitude(double X, double Y, double Sn);

// The azimuth A of the quadrant table, radians, (0, 2 pi]; A0 as above.
double quadrantAzimuth(double X, double Y, double& A0);

// Everything koudo_keisan_1950 computes for one position.
struct KoudoKeisanTrace {
  double alpha = 0, delta = 0, phi = 0;  // radians
  SiderealTrace sidereal;
  double H = 0;   // hour angle, radians, west positive, not reduced
  double X = 0;   // cos(alt) cos(az), toward south
  double Y = 0;   // cos(alt) sin(az), toward west
  double Sn = 0;  // sin(alt)
  AzimuthAltitude horizontal;
};
KoudoKeisanTrace koudo_keisan_1950_trace(double inRa, double inDec, double siteLatitude, double siteLongitude,
                                         const ClockSample& sample);

}  // namespace detail
}  // namespace vantrel
