#include "mount/serial_mount_link.h"

#include <chrono>
#include <stdexcept>

#include "mount/protocol.h"
#include "platform/clock.h"
#include "platform/serial_port.h"

namespace vantrel {
namespace {

// A hand controller answers a command within a few characters' time (about
// 1 ms each at 9600 baud) once it has read it; half a second is ample for a
// controller that is there, and short enough to hold up no ending.
constexpr std::chrono::milliseconds parkAnswerWaitMs{500};
// Polled, so that an answer that comes at once costs no wait.
constexpr std::chrono::milliseconds parkAnswerPollMs{50};

}  // namespace

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
  if (clock_ == nullptr) {
    port_.sendCommand(parkCommand);
    return ParkReply::notRead;
  }
  // The pre-park's answer came during the pause; it says nothing of the park.
  port_.readReceived();
  port_.sendCommand(parkCommand);
  std::string answer = port_.readReceived();
  for (auto waited = std::chrono::milliseconds(0);
       answer.find('#') == std::string::npos && waited < parkAnswerWaitMs; waited += parkAnswerPollMs) {
    clock_->pause(parkAnswerPollMs);
    answer += port_.readReceived();
  }
  return answer.find('#') != std::string::npos ? ParkReply::acknowledged : ParkReply::unanswered;
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

std::string SerialMountLink::mountName() const { return "the mount at " + portName(portNumber_); }

}  // namespace vantrel
