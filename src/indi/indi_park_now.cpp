#include "indi/indi_park_now.h"

#include "indi/indi_mount_link.h"
#include "mount/supervision.h"
#include "platform/clock.h"

namespace vantrel {

OneShotPark parkIndiMountNow(IndiWire& wire, IndiMirror& mirror, const IndiAddress& address, Clock& clock) {
  IndiMountLink link(wire, mirror, clock, IndiLinkSettings{address});
  try {
    link.reach();
  } catch (const Fault& fault) {
    // With the server there, what failed is the mount behind it.
    if (!mirror.serverUp()) throw;
    throw Fault(fault.what(), ExitStatus::mountSilent);
  }
  link.prePark();
  clock.pause(parkPauseMs);
  OneShotPark result;
  result.reply = link.park();
  if (result.reply == ParkReply::confirmed) {
    result.text = link.mountName() + " is parked, as the mount confirmed";
  } else {
    result.text = link.mountName() + " did not confirm the park; it may still point at the sky";
    std::string said = mirror.lastMessage();
    if (!said.empty()) result.text += " (the driver said: " + said + ")";
  }
  return result;
}

}  // namespace vantrel
