#include "indi/indi_check.h"

#include <cstdio>

#include "indi/indi_mount_link.h"
#include "platform/clock.h"
#include "platform/fault.h"

namespace vantrel {
namespace {

// A driver defines its coordinates on CONNECT before it has read the mount
// (the simulator says 0 h, 0 degrees) and sends them at its first poll, a
// second later by default: two seconds wait for that poll on a loaded
// machine.
constexpr std::chrono::milliseconds firstPositionWaitMs{2000};
constexpr std::chrono::milliseconds waitSliceMs{20};
constexpr const char* coordinatesProperty = "EQUATORIAL_EOD_COORD";

}  // namespace

std::string indiDiagnosis(IndiWire& wire, IndiMirror& mirror, const IndiAddress& address, Clock& clock,
                          bool askMount, int& problems) {
  std::string out = "INDI mount:\n  " + address.describe() + "\n";
  // No site is sent: the link is never opened, only reached.
  IndiMountLink link(wire, mirror, clock, IndiLinkSettings{address});
  try {
    link.findDevice();
    out += "  the server answers and has the device\n";
    std::optional<IndiProperty> connection = mirror.property("CONNECTION");
    const bool wasConnected = connection && connection->isOn("CONNECT");
    if (!askMount) {
      out += wasConnected ? "  the device is connected to its mount\n"
                          : "  the device is not connected to its mount yet (the night connects it)\n";
      return out + "  (vantrel --check --mount also connects it and reads its position and park state)\n";
    }
    // Armed before CONNECT: the definition is the first update, the
    // driver's first poll the second.
    if (!wasConnected) mirror.armWatch(coordinatesProperty);
    link.reach();
    out += wasConnected ? "  the device is connected to its mount\n"
                        : "  the device is now connected to its mount (vantrel connected it)\n";
    for (auto waited = std::chrono::milliseconds(0);
         !wasConnected && mirror.watch(coordinatesProperty).updates < 2 && waited < firstPositionWaitMs;
         waited += waitSliceMs) {
      clock.pause(waitSliceMs);
    }
  } catch (const Fault& fault) {
    ++problems;
    return out + "  " + fault.what() + "\n";
  }
  std::optional<IndiProperty> coordinates = mirror.property(coordinatesProperty);
  if (coordinates && coordinates->numbers.count("RA") && coordinates->numbers.count("DEC")) {
    char text[96];
    std::snprintf(text, sizeof text, "  it reports right ascension %.4f h, declination %+.2f degrees\n",
                  coordinates->numbers.at("RA"), coordinates->numbers.at("DEC"));
    out += text;
  } else {
    ++problems;
    out += "  it reports no position (EQUATORIAL_EOD_COORD has no RA and DEC)\n";
  }
  std::optional<IndiProperty> park = mirror.property("TELESCOPE_PARK");
  if (!park || !park->hasElement("PARK")) {
    ++problems;
    return out + "  it has no TELESCOPE_PARK switch: the night cannot park it\n";
  }
  return out + (park->isOn("PARK") ? "  it reports itself parked (the night unparks it before the first goto)\n"
                                   : "  it reports itself not parked\n");
}

}  // namespace vantrel
