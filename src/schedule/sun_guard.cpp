#include "schedule/sun_guard.h"

namespace vantrel {

SunGuard sunGuardAt(std::string_view dateText, std::string_view timeText, double siteLatitude,
                    double siteLongitude) {
  SunGuard guard;
  guard.sun = sunPosition(civilTextsToMjdUt(dateText, timeText), siteLatitude, siteLongitude);
  guard.sunUp = guard.sun.altDeg > sunUpAltitudeDeg;
  return guard;
}

}  // namespace vantrel
