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
//    destroyed: a claim on the device (device_claim.h) keeps another copy
//    from taking turns with us between targets. A device that cannot be
//    claimed (the claim folder missing or read-only, a link or a FIFO at the
//    claim's name) stops the first open, naming the claim file and why,
//    before any byte is sent; unless the claim is not required, and then the
//    warning sink hears why, once per device, and the flock on the open
//    device is all there is. Once the port has held a claim (the night is
//    under way), a device that a replugged link now leads to and that cannot
//    be claimed only warns: the park must still go out.
// 6) A process that parks the mount after the night's process died takes
//    the port over (takeOver): it gets the device path and the claim's
//    descriptor that the night's port reports (chosenDevice,
//    claimDescriptor; the descriptor passes with SCM_RIGHTS). The open file
//    description of the claim carries the lock, so the copy handed over
//    holds it too; the claim file is never locked again through a new open,
//    which would conflict with the lock handed in.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/serial_port.h"

namespace vantrel {

// The path that port number N would be chosen as from `workDir` now:
// "DIR/COMN" when that entry exists, else /dev/ttyS<N-1>.
std::string portDevicePath(const std::string& workDir, int portNumber);

// The port that the configuration's commPort names, as the night would
// choose it from `workDir` now.
struct SerialPortPlace {
  int number = 0;    // commPort half to even (mountPortNumber)
  std::string name;  // "COM1"
  std::string path;  // "DIR/COM1" or "/dev/ttyS0"
};
SerialPortPlace serialPortPlace(double commPort, const std::string& workDir);

struct DeviceClaimOptions {
  // Where the claim files are; empty: $VANTREL_LOCK_DIR, else /run/lock.
  std::string folder;
  // false: a device that cannot be claimed is used under its own flock only
  // (--no-device-claim), with a warning.
  bool required = true;
  // Hears every warning about a claim that could not be taken; may be empty.
  std::function<void(const std::string&)> onWarning;
};

class PosixSerialPort : public SerialPort {
 public:
  explicit PosixSerialPort(std::string workDir, DeviceClaimOptions claimOptions = {});
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  void choosePort(int portNumber) override;
  void open(int portNumber) override;
  void close() override;
  bool isOpen() const override { return fd_ >= 0; }
  void sendCommand(std::string_view bytes) override;
  std::string readReceived() override;

  // The path the chosen port opens ("DIR/COM1" or "/dev/ttyS0"), "" before
  // a port is chosen.
  const std::string& chosenDevice() const { return device_; }
  // The descriptor of the device claim this port holds, or -1 (none yet, or
  // none could be taken). It stays this port's: share it, do not close it.
  int claimDescriptor() const { return claimFd_; }

  // Makes this fresh port port `portNumber` on exactly `devicePath`, holding
  // `claimFd` (an open descriptor of the claim held for that device, handed
  // over; it becomes this port's and is closed with it; -1 for none). The
  // claim is not taken again, and a claim that cannot be taken for the
  // device only warns. Then open(portNumber) as usual; no other number can
  // be chosen.
  void takeOver(const std::string& devicePath, int portNumber, int claimFd);

 private:
  [[noreturn]] void fail(const std::string& operation, int error) const;
  [[noreturn]] void gone() const;
  void failIfHeld(int fd) const;
  [[noreturn]] void heldBy(long pid, const char* unknownHolder) const;
  void claim(int fd);
  void requireOpen() const;
  void waitUntilWritable();

  std::string workDir_;
  DeviceClaimOptions claimOptions_;
  int fd_ = -1;
  int chosenNumber_ = 0;     // 0 until a port is chosen
  std::string name_;         // "COM1"
  std::string device_;       // the chosen path: "DIR/COM1" or "/dev/ttyS0"
  std::string lastLedTo_;    // where device_ led at the last open (or the choice)
  int claimFd_ = -1;         // the flocked claim file of the device, or -1
  bool claimDeviceKnown_ = false;
  unsigned long long claimedDevice_ = 0;  // its st_rdev
  std::optional<unsigned long long> unclaimedDevice_;  // the st_rdev last warned about as unclaimed
  // A claim was held, or the port was taken over: the night is under way,
  // and a device that cannot be claimed only warns (the park must go out).
  bool underWay_ = false;
  bool takenOver_ = false;   // the device path is fixed: no other number is chosen
};

}  // namespace vantrel
