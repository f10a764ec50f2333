// sun_position.h - where the Sun stands, for keeping the telescope away
// from it.
//
// Given:
//    mjdUt          double   Universal Time as a Modified Julian Date
//    siteLatitude   double   degrees, north positive
//    siteLongitude  double   degrees, east positive
// Returned:
//    azDeg   double   azimuth, degrees from south through west, [0, 360)
//    altDeg  double   geometric altitude of the centre, degrees
// Notes:
// 1) The low-precision solar coordinates of the Astronomical Almanac (mean
//    longitude and anomaly, two terms of the equation of centre, the mean
//    obliquity) and the sidereal time of the USNO's approximate formula.
//    Good to about 0.01 degree in 1950-2050; the tests hold it to 0.05
//    degree against ERFA. Nothing here is on the bit-exact path of the
//    targets.
// 2) Terrestrial and Universal Time are not told apart: the 70 seconds
//    between them move the Sun by less than a thousandth of a degree.
// 3) No refraction: the altitude is geometric.
// 4) Time is an argument: nothing here reads a clock.
#pragma once

#include <string_view>

namespace vantrel {

struct SunPlace {
  double azDeg = 0;
  double altDeg = 0;
};

SunPlace sunPosition(double mjdUt, double siteLatitude, double siteLongitude);

// Universal Time as a Modified Julian Date from the civil texts of the clock
// ("YYYY-MM-DD", "HH:MM:SS", civil time UT + 9 h), seconds included.
double civilTextsToMjdUt(std::string_view dateText, std::string_view timeText);

// The angle between two directions given as azimuth and altitude, degrees,
// [0, 180].
double separationDeg(double az1Deg, double alt1Deg, double az2Deg, double alt2Deg);

}  // namespace vantrel
