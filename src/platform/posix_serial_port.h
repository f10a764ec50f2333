// posix_serial_port.h - the serial line to the hand controller (MSComm1) on a
// POSIX terminal device.
//
// Port number N is the file "COMN" in the working directory when such a
// directory entry exists (usually a link to /dev/ttyUSB0, or to the
// pseudo-terminal of vantrel-mountsim), otherwise /dev/ttyS<N-1>.
//
// The device is opened non-blocking and without becoming our controlling
// terminal, locked against a second opener (flock, which keeps root out
// too, and TIOCEXCL), and set raw: 9600 baud,
// 8 data bits, no parity, 1 stop bit, receiver on, modem lines ignored, no
// flow control, no translation of any byte.
//
// Notes:
// 1) sendCommand hands every byte to the driver before it returns; it waits
//    only while the driver's buffer is full, and never for an answer.
// 2) readReceived never waits: it takes what the driver holds and returns.
// 3) Every failure is thrown as a Fault that names the port, the device and
//    the error: "cannot open COM1 (/dev/ttyUSB0): Device or resource busy".
//    A line whose other side went away (unplugged, simulator ended) reads as
//    "serial line COM1 (/dev/ttyUSB0): the device is gone".
// 4) Which of the two paths port N means is decided once, by choosePort (or
//    the first open), and kept: the park must reach the mount the night was
//    commanding, never a motherboard port that happens to be /dev/ttyS<N-1>.
//    Opening "COMN" again follows the link anew, so an adapter that was
//    replugged and whose link came back still works. A dangling or vanished
//    "COMN" fails naming it and the device it last led to.
// 5) The port is opened for each exchange and closed between them, but the
//    device stays this port's from its first open until the port is
//    destroyed: a claim file per device (/run/lock/vantrel-tty-MAJOR-MINOR.lock,
//    flocked) keeps another copy from taking turns with us between targets.
//    Where no such file can be made or opened, the flock on the open device
//    is all there is.
#pragma once

#include <string>
#include <string_view>

#include "platform/serial_port.h"

namespace vantrel {

class PosixSerialPort : public SerialPort {
 public:
  explicit PosixSerialPort(std::string workDir);
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  void choosePort(int portNumber) override;
  void open(int portNumber) override;
  void close() override;
  bool isOpen() const override { return fd_ >= 0; }
  void sendCommand(std::string_view bytes) override;
  std::string readReceived() override;

  // The path that port number N would be chosen as from this working
  // directory now: "DIR/COMN" when that entry exists, else /dev/ttyS<N-1>.
  std::string devicePath(int portNumber) const;
  // The device the first open decided on, and the descriptor of its claim
  // (-1 when there is none): what a guard of the night needs to park it.
  const std::string& chosenDevice() const { return device_; }
  int claimDescriptor() const { return claimFd_; }
  // Port N is exactly `device` (never chosen anew), and `claimFd` a claim
  // already held on it (taken over and closed with the port), or -1.
  void adoptDevice(int portNumber, const std::string& device, int claimFd);

 private:
  [[noreturn]] void fail(const std::string& operation, int error) const;
  [[noreturn]] void gone() const;
  void failIfHeld(int fd) const;
  [[noreturn]] void heldBy(long pid, const char* unknownHolder) const;
  void claimDevice(int fd);
  void requireOpen() const;
  void waitUntilWritable();

  std::string workDir_;
  int fd_ = -1;
  int chosenNumber_ = 0;     // 0 until a port is chosen
  std::string name_;         // "COM1"
  std::string device_;       // the chosen path: "DIR/COM1" or "/dev/ttyS0"
  std::string lastLedTo_;    // where device_ led at the last open (or the choice)
  int claimFd_ = -1;         // the flocked claim file of the device, or -1
  unsigned long long claimedDevice_ = 0;  // its st_rdev
};

}  // namespace vantrel
