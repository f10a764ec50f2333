#include "mount/serial_mount_link.h"

#include <stdexcept>

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

std::optional<double> SerialMountLink::readDeclination() {
  std::string received = port_.readReceived();
  std::optional<double> dec = checkPositionReply(received);
  unreadReply_ = dec ? std::string() : std::move(received);
  return dec;
}

void SerialMountLink::prePark() { port_.sendCommand(preParkCommand); }

ParkReply SerialMountLink::park() {
  port_.sendCommand(parkCommand);
  return ParkReply::notRead;
}

// The port's steady reply, validated as readDeclination would validate it.
std::optional<double> SerialMountLink::steadyDeclination() const {
  const SteadyAnswers* answers = port_.steadyAnswers();
  if (answers == nullptr) return std::nullopt;
  std::optional<std::string> reply = answers->steadyPositionReply();
  return reply ? checkPositionReply(*reply) : std::nullopt;
}

void SerialMountLink::takeSteadyRequests(std::int64_t count) {
  SteadyAnswers* answers = port_.steadyAnswers();
  if (answers == nullptr) throw std::logic_error("takeSteadyRequests on a port without steady answers");
  answers->takePositionQueries(count);
}

std::string SerialMountLink::mountName() const { return "the mount at COM" + std::to_string(portNumber_); }

}  // namespace vantrel
