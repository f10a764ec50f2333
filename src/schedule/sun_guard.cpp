#include "schedule/sun_guard.h"

#include <cmath>
#include <cstdio>

namespace vantrel {

SunGuard sunGuardAt(std::string_view dateText, std::string_view timeText, double zoneOffsetDays,
                    double siteLatitude, double siteLongitude) {
  SunGuard guard;
  guard.sun = sunPosition(civilTextsToMjdUt(dateText, timeText, zoneOffsetDays), siteLatitude, siteLongitude);
  guard.sunUp = guard.sun.altDeg > sunUpAltitudeDeg;
  return guard;
}

SunGuard sunGuardAt(const ClockSample& sample, double siteLatitude, double siteLongitude) {
  return sunGuardAt(sample.cycleDateText, sample.cycleTimeText.substr(0, 5) + ":00", sample.zoneOffsetDays,
                    siteLatitude, siteLongitude);
}

std::string sunAtStartWarning(const std::string& dateText, const std::string& timeText, double zoneOffsetDays,
                              double siteLatitude, double siteLongitude) {
  SunGuard guard = sunGuardAt(dateText, timeText, zoneOffsetDays, siteLatitude, siteLongitude);
  if (!(guard.sun.altDeg > twilightAltitudeDeg)) return "";
  char text[256];
  std::snprintf(text, sizeof text, "the Sun stands %.1f degrees %s the horizon at %s %s%s", std::fabs(guard.sun.altDeg),
                guard.sun.altDeg < 0 ? "below" : "above", dateText.c_str(), timeText.c_str(),
                guard.sunUp ? ": while it is up, no target within 30 degrees of it is chosen" : ": it is not yet night");
  return text;
}

}  // namespace vantrel
