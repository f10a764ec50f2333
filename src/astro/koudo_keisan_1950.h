// koudo_keisan_1950.h - azimuth and altitude of a 1950.0 position.
//
// Given:
//    inRa           double   right ascension, degrees, equinox 1950.0
//    inDec          double   declination, degrees
//    siteLatitude   double   degrees, north positive
//    siteLongitude  double   degrees, east positive
//    sample         ClockSample  the civil time UT + 9 h of the cycle
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

}  // namespace vantrel
