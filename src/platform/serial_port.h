// serial_port.h - the serial line to the mount's hand controller (MSComm1).
//
// The line is 9600 baud, no parity, 8 data bits, 1 stop bit. Writes return
// as soon as the bytes are handed over; reads return at once with everything
// received since the previous read, possibly nothing. A failure of the line
// (the port cannot be opened, a write or read fails, the device is gone) is
// thrown as a Fault naming the device and the error.
#pragma once

#include <string>
#include <string_view>

namespace vantrel {

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
};

}  // namespace vantrel
