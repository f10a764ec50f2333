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

#include <optional>
#include <string_view>

namespace vantrel {

// 1970-01-01 00:00 UT as a Modified Julian Date.
inline constexpr double unixEpochMjd = 40587;

struct SunPlace {
  double azDeg = 0;
  double altDeg = 0;
};

SunPlace sunPosition(double mjdUt, double siteLatitude, double siteLongitude);

// Universal Time as a Modified Julian Date from the civil texts of the clock
// ("YYYY-MM-DD", "HH:MM:SS", seconds included) and the offset of their zone
// in days (0.375 for UT + 9 h).
double civilTextsToMjdUt(std::string_view dateText, std::string_view timeText, double zoneOffsetDays);

// The first whole minute after `fromMjdUt`, up to `toMjdUt`, at which the
// Sun's centre has gone below `altDeg` (`below`) or above it from the other
// side at the minute before; nothing when it does not within the span. Minute
// by minute: the Sun moves less than a quarter of a degree in a minute.
std::optional<double> sunCrossingMjdUt(double fromMjdUt, double toMjdUt, double altDeg, bool below,
                                       double siteLatitude, double siteLongitude);

// The angle between two directions given as azimuth and altitude, degrees,
// [0, 180].
double separationDeg(double az1Deg, double alt1Deg, double az2Deg, double alt2Deg);

}  // namespace vantrel
