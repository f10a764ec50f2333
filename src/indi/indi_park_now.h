// indi_park_now.h - park an INDI mount now, outside a night: for a guard
// that finds a night gone without its park, and for vantrel --park --indi.
//
// Given:
//    address  the device and its server
//    clock    every wait goes through it
// Returned:
//    reply    confirmed when the driver ended the park Ok or Idle with PARK
//             on (a mount parked already says so at once); notConfirmed when
//             it ended in Alert, did not answer within 0.5 s, was still Busy
//             after 3 minutes, or the server or the device went away
//             meanwhile
//    text     one line for the observer, naming the mount and the outcome
// Thrown:
//    Fault, status 1 (runtimeFault): no INDI server answers at the address,
//             or it closed the connection; also a device without a
//             TELESCOPE_PARK switch
//    Fault, status 4 (mountSilent): the server has no such device, its
//             driver cannot connect to the mount, or it is no telescope
// Notes:
// 1) The park is the night's own, through the same link: CONNECT when the
//    device is not connected, then the link's prePark (tracking off), a
//    pause of parkPauseMs, and its park with its wait for the driver.
// 2) Unlike the night's park the mount is not opened first: neither
//    unparked, nor set tracking, nor told the site and the time. A mount
//    parked already is not moved.
// 3) Blocks for at most about 3 min 25 s (server 3 s, device 2 s, connect
//    and coordinates 10 s each, the park 3 min); no window is served.
// 4) The wire form serves the tests; the address form makes the client of
//    the real server, and throws (status 1) when built without INDI.
#pragma once

#include <memory>
#include <string>

#include "indi/indi_address.h"
#include "indi/indi_client.h"
#include "indi/indi_mirror.h"
#include "indi/indi_wire.h"
#include "mount/mount_link.h"
#include "platform/fault.h"

namespace vantrel {

class Clock;

struct OneShotPark {
  ParkReply reply = ParkReply::notConfirmed;
  std::string text;
};

// `wire` is a client of the server at `address` feeding `mirror`.
OneShotPark parkIndiMountNow(IndiWire& wire, IndiMirror& mirror, const IndiAddress& address, Clock& clock);

inline OneShotPark parkIndiMountNow(const IndiAddress& address, Clock& clock) {
  IndiMirror mirror(address.device);
  std::unique_ptr<IndiWire> wire = makeIndiClient(address, mirror);
  if (!wire) throw Fault("cannot park the INDI mount '" + address.device + "': this vantrel was built without INDI");
  return parkIndiMountNow(*wire, mirror, address, clock);
}

}  // namespace vantrel
