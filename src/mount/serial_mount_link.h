// serial_mount_link.h - the mount link over the serial line to the hand
// controller (see protocol.h for the bytes).
//
//   open             opens port portNumber (9600 8N1 raw, set by the port)
//   gotoTarget       the goto, then both pass-through commands with
//                    passThroughValue, back to back
//   requestPosition  "E"
//   readDeclination  everything received since the last read, accepted only
//                    as exactly one position reply
//   prePark          "T" 00; nothing is read
//   park             what arrived since (the pre-park's answer) is read away,
//                    then "B4000,0000", then up to parkAnswerWaitMs for the
//                    controller's "#": acknowledged, or unanswered
#pragma once

#include <string>

#include "mount/mount_link.h"

namespace vantrel {

class Clock;
class SerialPort;

class SerialMountLink : public MountLink {
 public:
  // portNumber and passThroughValue already whole (mountPortNumber,
  // passThroughByte).
  // With a clock, park waits for the controller's answer (parkAnswerWaitMs);
  // without one it reads nothing and says so.
  SerialMountLink(SerialPort& port, int portNumber, int passThroughValue, Clock* clock = nullptr)
      : port_(port), portNumber_(portNumber), passThroughValue_(passThroughValue), clock_(clock) {}

  void open() override;
  void close() override;
  void closeQuietly() noexcept override;
  void gotoTarget(double raDeg, double decDeg) override;
  void requestPosition() override;
  std::optional<double> readDeclination() override;
  std::string unreadReply() const override { return unreadReply_; }
  void prePark() override;
  ParkReply park() override;
  std::string mountName() const override;
  std::optional<double> steadyDeclination() const override;
  void takeSteadyRequests(std::int64_t count) override;

 private:
  SerialPort& port_;
  int portNumber_;
  int passThroughValue_;
  std::string unreadReply_;
  Clock* clock_;
};

}  // namespace vantrel
