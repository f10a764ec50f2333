// indi_check.h - the INDI mount as the night would find it, for vantrel --check.
//
// Given:
//    address   the device and its server
//    clock     every wait goes through it
//    askMount  also CONNECT the device when it is not, and read what it
//              reports: its position and whether it is parked
// Returned:
//    the "INDI mount:" section of the check, one finding a line; each
//    finding that would stop or mislead the night adds one to `problems`
// Notes:
// 1) Every step is bounded: the server must take the connection within
//    3 s, show the device within indiDeviceWaitMs, and (with askMount) the
//    driver must connect its mount within the night's own limit of 10 s.
// 2) Nothing moves: without askMount nothing is sent to the device; with it
//    only CONNECT, which the night sends first anyway. The mount is neither
//    unparked nor set tracking.
// 3) The wire form serves the tests; the address form makes the client of
//    the real server, and finds a problem when built without INDI.
#pragma once

#include <memory>
#include <string>

#include "indi/indi_address.h"
#include "indi/indi_client.h"
#include "indi/indi_mirror.h"
#include "indi/indi_wire.h"

namespace vantrel {

class Clock;

// `wire` is a client of the server at `address` feeding `mirror`, not yet
// connected.
std::string indiDiagnosis(IndiWire& wire, IndiMirror& mirror, const IndiAddress& address, Clock& clock,
                          bool askMount, int& problems);

inline std::string indiDiagnosis(const IndiAddress& address, Clock& clock, bool askMount, int& problems) {
  IndiMirror mirror(address.device);
  std::unique_ptr<IndiWire> wire = makeIndiClient(address, mirror);
  if (!wire) {
    ++problems;
    return "INDI mount:\n  this vantrel was built without INDI\n";
  }
  return indiDiagnosis(*wire, mirror, address, clock, askMount, problems);
}

}  // namespace vantrel
