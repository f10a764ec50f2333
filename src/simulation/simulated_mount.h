// simulated_mount.h - a hand controller inside the program (MSComm1 stand-in).
//
// Used by the rehearsal and by tests in place of the serial line. It reads
// the bytes it is sent as the controller would, command by command:
//
//   "R" + 4 hex + "," + 4 hex   goto                  10 bytes   reply "#"
//   "P" + 7 bytes               pass-through           8 bytes   reply "#"
//   "E"                         position query         1 byte    reply "XXXX,YYYY#"
//   "T" + 1 byte                pre-park               2 bytes   reply "#"
//   "B" + 9 bytes               park                  10 bytes   reply "#"
//
// A reply lands in the receive buffer at once, when the command is complete;
// a byte that starts no command is dropped. The position is that of the last
// goto, reached at once (no slew time), "0000,0000" before the first goto.
// It is written from the protocol alone and shares no code with the mount
// routines, so a fault in them cannot hide itself here.
//
// Notes:
// 1) When it is made with Transcript::kept, every open, close and sendCommand
//    (its bytes as handed over) is kept in order in transcript(), so a test
//    can check what was sent and when the port was open. A rehearsal sends
//    hundreds of thousands of queries a night and keeps none of them.
// 2) Sending, reading or closing while closed, and opening twice, are faults
//    of the caller and throw Fault.
// 3) Scripting for tests: silence, a script for the position replies (which
//    can carry stray bytes or be cut short), a line that vanishes, a port
//    that cannot be opened.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "platform/serial_port.h"

namespace vantrel {

struct MountEvent {
  enum class Kind { open, bytes, close };
  Kind kind = Kind::open;
  int portNumber = 0;  // the port it happened on
  std::string bytes;   // for bytes: what one sendCommand handed over
  bool operator==(const MountEvent&) const = default;
};

// open(3), bytes "R4000,F8E4" (other than printable ASCII as \xNN), close(3).
std::ostream& operator<<(std::ostream& out, const MountEvent& event);

class SimulatedMount : public SerialPort, public SteadyAnswers {
 public:
  // Decides the whole reply to the n-th position query (n from 1), given the
  // angle fields of the last goto ("0000" before the first). An empty reply
  // sends nothing.
  using PositionScript = std::function<std::string(int query, const std::string& raField, const std::string& decField)>;
  enum class Transcript { none, kept };

  explicit SimulatedMount(Transcript transcript = Transcript::none) : keepTranscript_(transcript == Transcript::kept) {}

  void open(int portNumber) override;
  void close() override;
  bool isOpen() const override { return open_; }
  void sendCommand(std::string_view bytes) override;
  std::string readReceived() override;
  SteadyAnswers* steadyAnswers() override { return this; }
  // Sure only while open, unscripted, answering, with nothing waiting in
  // either direction.
  std::optional<std::string> steadyPositionReply() const override;
  void takePositionQueries(std::int64_t count) override;

  // No reply to anything.
  void setSilent(bool silent) { silent_ = silent; }
  void setPositionScript(PositionScript script) { positionScript_ = std::move(script); }
  // Bytes put in front of every reply.
  // The line goes away: every later open, write and read throws Fault, as a
  // device that was unplugged. Closing still succeeds.
  void vanish() { gone_ = true; }
  // The next opens fail, as a port held by another program.
  void refuseOpen(bool refuse) { refuseOpen_ = refuse; }

  // What was sent; throws std::logic_error when the mount keeps no transcript.
  const std::vector<MountEvent>& transcript() const;
  // Every byte sent, in order, as one text.
  std::string bytesSent() const;
  std::int64_t positionQueries() const { return queries_; }

 private:
  void requireOpen(const char* operation) const;
  void takeCommands();
  void answer(std::string_view command);
  void note(MountEvent::Kind kind, std::string_view bytes = {});

  bool keepTranscript_;
  bool open_ = false;
  bool silent_ = false;
  bool gone_ = false;
  bool refuseOpen_ = false;
  int portNumber_ = 0;
  std::int64_t queries_ = 0;
  std::string raField_ = "0000";
  std::string decField_ = "0000";
  PositionScript positionScript_;
  std::string pending_;   // bytes of a command not yet complete
  std::string received_;  // what the program has not read yet
  std::vector<MountEvent> transcript_;
};

}  // namespace vantrel
