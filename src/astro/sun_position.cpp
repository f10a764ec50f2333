#include "astro/sun_position.h"

#include <cmath>
#include <numbers>

#include "astro/koudo_keisan_1950.h"
#include "inputs/number_text.h"

namespace vantrel {
namespace {

constexpr double degToRad = std::numbers::pi / 180;
constexpr double mjdOfJ2000 = 51544.5;  // 2000-01-01 12:00 TT, taken as UT

double wrapDegrees(double angle) {
  double wrapped = std::fmod(angle, 360.0);
  return wrapped < 0 ? wrapped + 360.0 : wrapped;
}

}  // namespace

SunPlace sunPosition(double mjdUt, double siteLatitude, double siteLongitude) {
  const double n = mjdUt - mjdOfJ2000;  // days from J2000.0

  // Ecliptic longitude (aberration included) and obliquity, degrees.
  const double meanLongitude = 280.460 + 0.9856474 * n;
  const double g = (357.528 + 0.9856003 * n) * degToRad;  // mean anomaly
  const double lambda = (meanLongitude + 1.915 * std::sin(g) + 0.020 * std::sin(2 * g)) * degToRad;
  const double epsilon = (23.439 - 0.0000004 * n) * degToRad;

  const double ra = std::atan2(std::cos(epsilon) * std::sin(lambda), std::cos(lambda));
  const double dec = std::asin(std::sin(epsilon) * std::sin(lambda));

  // Greenwich mean sidereal time, hours; the hour angle is west positive.
  const double gmstHours = 18.697374558 + 24.06570982441908 * n;
  const double hourAngle = (wrapDegrees(gmstHours * 15 + siteLongitude) * degToRad) - ra;

  const double phi = siteLatitude * degToRad;
  const double sinAlt = std::sin(phi) * std::sin(dec) + std::cos(phi) * std::cos(dec) * std::cos(hourAngle);
  // Toward west and toward south, so that atan2 counts from south through west.
  const double west = std::cos(dec) * std::sin(hourAngle);
  const double south = std::cos(dec) * std::cos(hourAngle) * std::sin(phi) - std::sin(dec) * std::cos(phi);

  SunPlace place;
  place.altDeg = std::asin(std::fmax(-1.0, std::fmin(1.0, sinAlt))) / degToRad;
  place.azDeg = wrapDegrees(std::atan2(west, south) / degToRad);
  return place;
}

double civilTextsToMjdUt(std::string_view dateText, std::string_view timeText, double zoneOffsetDays) {
  const double day = modifiedJulianDay(readField(dateText, 1, 4), readField(dateText, 6, 2), readField(dateText, 9, 2));
  const double hours = readField(timeText, 1, 2) + readField(timeText, 4, 2) / 60 + readField(timeText, 7, 2) / 3600;
  return day + (hours - zoneOffsetDays * 24) / 24;
}

std::optional<double> sunCrossingMjdUt(double fromMjdUt, double toMjdUt, double altDeg, bool below,
                                       double siteLatitude, double siteLongitude) {
  constexpr double minute = 1.0 / 1440;
  auto past = [&](double k) {
    const double alt = sunPosition(k * minute, siteLatitude, siteLongitude).altDeg;
    return below ? alt < altDeg : alt > altDeg;
  };
  const double first = std::floor(fromMjdUt / minute) + 1;
  bool before = past(first - 1);
  for (double k = first; k * minute <= toMjdUt; ++k) {
    const bool now = past(k);
    if (now && !before) return k * minute;
    before = now;
  }
  return std::nullopt;
}

double separationDeg(double az1Deg, double alt1Deg, double az2Deg, double alt2Deg) {
  const double a1 = alt1Deg * degToRad, a2 = alt2Deg * degToRad;
  const double cosSep =
      std::sin(a1) * std::sin(a2) + std::cos(a1) * std::cos(a2) * std::cos((az1Deg - az2Deg) * degToRad);
  return std::acos(std::fmax(-1.0, std::fmin(1.0, cosSep))) / degToRad;
}

}  // namespace vantrel
