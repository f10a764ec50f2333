// serial_port.h - the serial line to the mount's hand controller (MSComm1).
//
// The line is 9600 baud, no parity, 8 data bits, 1 stop bit. Writes return
// as soon as the bytes are handed over; reads return at once with everything
// received since the previous read, possibly nothing. A failure of the line
// (the port cannot be opened, a write or read fails, the device is gone) is
// thrown as a Fault naming the device and the error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

// What port number N is called in every message: "COMN".
inline std::string portName(int portNumber) { return "COM" + std::to_string(portNumber); }

// A line that knows what it will answer to the position query from now on
// (the in-process simulated mount, whose position cannot change between
// gotos). A dwell whose every poll is known in advance skips the polls.
class SteadyAnswers {
 public:
  virtual ~SteadyAnswers() = default;
  // The whole text that every further position query would make waiting,
  // alone, as soon as it is sent; nothing when that is not sure.
  virtual std::optional<std::string> steadyPositionReply() const = 0;
  // Takes `count` position queries as if each had been sent and its reply
  // read before the next.
  virtual void takePositionQueries(std::int64_t count) = 0;
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Decides, once for the night, what port number `portNumber` stands for;
  // every later open of that number uses the same device. The night calls it
  // at start-up; an open of a number not chosen yet chooses it then. Ports
  // that have nothing to decide ignore it.
  virtual void choosePort(int /*portNumber*/) {}
  // Opens port number `portNumber` (1..32767) with the line settings above.
  virtual void open(int portNumber) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // Writes every byte of one command; waits for no answer.
  virtual void sendCommand(std::string_view bytes) = 0;
  // Everything received since the last read; empty when nothing came.
  virtual std::string readReceived() = 0;

  // Known answers, for a line that has them now; a real line never has.
  virtual SteadyAnswers* steadyAnswers() { return nullptr; }
};

}  // namespace vantrel
