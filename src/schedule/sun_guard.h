// sun_guard.h - no goto near the Sun.
//
// While the Sun is up, a row within sunGuardRadiusDeg of it is not eligible:
// the scan passes over it as if it stood outside the window (no record, no
// goto). With the Sun down the guard does nothing, so a night that ends
// before sunrise chooses exactly what it chose without it.
//
// Notes:
// 1) "Up" is from the moment the Sun's upper rim shows: its centre above
//    -0.833 degrees (refraction and the Sun's radius), a little before the
//    geometric centre reaches the horizon.
// 2) The distance is measured between the row's azimuth and altitude as the
//    night computed them and the Sun's, so the guard sees the row where the
//    mount would be sent.
#pragma once

#include <string>
#include <string_view>

#include "astro/clock_sample.h"
#include "astro/sun_position.h"

namespace vantrel {

inline constexpr double sunUpAltitudeDeg = -0.833;
inline constexpr double sunGuardRadiusDeg = 30.0;
// Above this (the end of civil twilight) the start of a night is warned about.
inline constexpr double twilightAltitudeDeg = -6.0;

struct SunGuard {
  bool sunUp = false;
  SunPlace sun;

  // True when a row at (azDeg, altDeg) must be passed over.
  bool passesOver(float azDeg, double altDeg) const {
    return sunUp && separationDeg(azDeg, altDeg, sun.azDeg, sun.altDeg) <= sunGuardRadiusDeg;
  }
};

// The guard for the instant of the clock texts, civil time of a zone
// `zoneOffsetDays` ahead of Universal Time.
SunGuard sunGuardAt(std::string_view dateText, std::string_view timeText, double zoneOffsetDays,
                    double siteLatitude, double siteLongitude);
// The guard for the instant the rows of a pass are computed for: the whole
// minute of the sample, its seconds dropped as the sample drops them. A row
// and the Sun are compared at one instant, so a row cannot be passed over and
// chosen within one minute.
SunGuard sunGuardAt(const ClockSample& sample, double siteLatitude, double siteLongitude);

// "the Sun stands 19.6 degrees above the horizon at 2026-12-07 09:00:00: ..."
// when the Sun is above twilightAltitudeDeg at that instant; "" otherwise.
std::string sunAtStartWarning(const std::string& dateText, const std::string& timeText, double zoneOffsetDays,
                              double siteLatitude, double siteLongitude);

}  // namespace vantrel
