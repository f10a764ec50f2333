#include "mount/serial_mount_link.h"

#include "mount/protocol.h"
#include "platform/serial_port.h"

namespace vantrel {

void SerialMountLink::open() {
  // The port applies the line settings (9600 baud, no parity, 8 data bits,
  // 1 stop bit, raw) itself as it opens.
  port_.open(portNumber_);
}

void SerialMountLink::close() { port_.close(); }

void SerialMountLink::closeQuietly() noexcept {
  try {
    if (port_.isOpen()) port_.close();
  } catch (...) {
    // The line is failing already; the fault in flight says why.
  }
}

// Goto and both pass-through commands back to back: no pause, no read
// between them.
void SerialMountLink::gotoTarget(double raDeg, double decDeg) {
  port_.sendCommand(gotoCommand(raDeg, decDeg));
  port_.sendCommand(passThroughCommand(firstPassThroughByte, passThroughValue_));
  port_.sendCommand(passThroughCommand(secondPassThroughByte, passThroughValue_));
}

void SerialMountLink::requestPosition() { port_.sendCommand(positionQuery); }

std::optional<double> SerialMountLink::readDeclination() { return checkPositionReply(port_.readReceived()); }

void SerialMountLink::prePark() { port_.sendCommand(preParkCommand); }

void SerialMountLink::park() { port_.sendCommand(parkCommand); }

std::string SerialMountLink::mountName() const { return "the mount at COM" + std::to_string(portNumber_); }

}  // namespace vantrel
