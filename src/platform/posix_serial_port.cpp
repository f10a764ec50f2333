#include "platform/posix_serial_port.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include "mount/protocol.h"
#include "platform/device_claim.h"
#include "platform/device_users.h"
#include "platform/fault.h"
#include "platform/folder_lock.h"

namespace vantrel {
namespace {

// The longest command is ten bytes, about 10 ms at 9600 baud. A driver that
// takes no byte at all for two seconds is not slow but stuck (an unread
// pseudo-terminal, a converter that hangs), and the night cannot go on.
constexpr std::chrono::milliseconds writeStallLimitMs{2000};

// Unlocks and closes. The lock belongs to the terminal, not to the
// descriptor: a pty whose master stays open (vantrel-mountsim) would keep it
// after we close, and our own next open would find the port busy. A line that
// is gone may refuse the unlock; closing is all that matters then.
int release(int fd) {
  ::ioctl(fd, TIOCNXCL);
  return ::close(fd);
}

// The file a path leads to through every link, or "" when it leads nowhere.
std::string resolvedPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return "";
  return resolved;
}

}  // namespace

PosixSerialPort::PosixSerialPort(std::string workDir, DeviceClaimOptions claimOptions)
    : workDir_(std::move(workDir)), claimOptions_(std::move(claimOptions)) {
  if (claimOptions_.folder.empty()) claimOptions_.folder = defaultClaimFolder();
}

PosixSerialPort::~PosixSerialPort() {
  if (fd_ >= 0) release(fd_);
  if (claimFd_ >= 0) ::close(claimFd_);
}

std::string portDevicePath(const std::string& workDir, int portNumber) {
  std::string local = (workDir.empty() ? std::string(".") : workDir) + "/" + portName(portNumber);
  struct stat entry;
  if (::lstat(local.c_str(), &entry) == 0) return local;
  return "/dev/ttyS" + std::to_string(portNumber - 1);
}

SerialPortPlace serialPortPlace(double commPort, const std::string& workDir) {
  const int number = mountPortNumber(commPort);
  return {number, portName(number), portDevicePath(workDir, number)};
}

void PosixSerialPort::fail(const std::string& operation, int error) const {
  throw LineFault(operation + " " + name_ + " (" + device_ + "): " + std::strerror(error));
}

// Fails naming the other copy of the program when one holds the device's
// flock; closes `fd` (when it is one) first. Returns when none does.
void PosixSerialPort::failIfHeld(int fd) const {
  struct stat device;
  int statResult = fd >= 0 ? ::fstat(fd, &device) : ::stat(device_.c_str(), &device);
  long pid = statResult == 0 ? flockHolder(device.st_dev, device.st_ino) : 0;
  if (fd >= 0) ::close(fd);
  if (pid > 0 || fd >= 0) heldBy(pid, "another program");
}

void PosixSerialPort::heldBy(long pid, const char* unknownHolder) const {
  throw LineHeldFault(describeLockHolder(pid, unknownHolder) + " holds " + name_ + " (" +
                      (lastLedTo_.empty() ? device_ : lastLedTo_) + ")");
}

// Takes (once per device) the claim that keeps the device ours between
// opens. `fd` is the freshly opened, flocked device; it is closed when the
// claim is held by another or is required and cannot be taken.
void PosixSerialPort::claim(int fd) {
  struct stat line;
  if (::fstat(fd, &line) != 0 || !S_ISCHR(line.st_mode)) return;
  if (claimFd_ >= 0 && !claimDeviceKnown_) {  // handed over with the port
    claimDeviceKnown_ = true;
    claimedDevice_ = line.st_rdev;
  }
  if (claimFd_ >= 0 && claimedDevice_ == line.st_rdev) return;
  if (unclaimedDevice_ == line.st_rdev) return;  // warned about already
  DeviceClaim taken = claimDevice(claimOptions_.folder, line.st_rdev);
  if (taken.held) {
    ::close(fd);
    heldBy(taken.holderPid, "another program (perhaps a vantrel in another folder)");
  }
  if (taken.fd < 0) {
    const std::string what = name_ + " (" + device_ + ") against a copy of vantrel in another folder: " + taken.why;
    if (claimOptions_.required && !underWay_) {
      ::close(fd);
      throw LineFault("cannot claim " + what +
                      "; mend that, set VANTREL_LOCK_DIR to a writable folder, or start with "
                      "--no-device-claim");
    }
    unclaimedDevice_ = line.st_rdev;
    if (claimOptions_.onWarning) {
      claimOptions_.onWarning("not claimed: " + what + "; only the lock on the open device keeps another copy out");
    }
    return;
  }
  if (claimFd_ >= 0) ::close(claimFd_);  // the link now leads to another device
  claimFd_ = taken.fd;
  claimDeviceKnown_ = true;
  claimedDevice_ = line.st_rdev;
  underWay_ = true;
  unclaimedDevice_.reset();
}

void PosixSerialPort::takeOver(const std::string& devicePath, int portNumber, int claimFd) {
  if (chosenNumber_ != 0 || fd_ >= 0 || claimFd_ >= 0) {
    throw Fault("cannot take over " + portName(portNumber) + ": this port has chosen already");
  }
  chosenNumber_ = portNumber;
  name_ = portName(portNumber);
  device_ = devicePath;
  lastLedTo_ = resolvedPath(device_);
  claimFd_ = claimFd;
  underWay_ = true;
  takenOver_ = true;
}

void PosixSerialPort::gone() const {
  throw LineFault("serial line " + name_ + " (" + device_ + "): the device is gone");
}

void PosixSerialPort::requireOpen() const {
  if (fd_ < 0) throw Fault("serial line " + name_ + " used while it is not open");
}

void PosixSerialPort::choosePort(int portNumber) {
  if (chosenNumber_ == portNumber) return;
  if (takenOver_) throw Fault("cannot choose " + portName(portNumber) + ": " + name_ + " was taken over");
  if (fd_ >= 0) throw Fault("cannot choose " + portName(portNumber) + ": " + name_ + " is open");
  chosenNumber_ = portNumber;
  name_ = portName(portNumber);
  device_ = portDevicePath(workDir_, portNumber);
  lastLedTo_ = resolvedPath(device_);
}

void PosixSerialPort::open(int portNumber) {
  if (fd_ >= 0) throw Fault("cannot open " + portName(portNumber) + ": " + name_ + " is open already");
  choosePort(portNumber);

  int fd = ::open(device_.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT && device_ != lastLedTo_ && !lastLedTo_.empty()) {
    throw LineFault("cannot open " + name_ + " (" + device_ + "): the link is gone or leads nowhere; it last led to " +
                lastLedTo_);
  }
  if (fd < 0) {
    int error = errno;
    if (error == EBUSY) failIfHeld(-1);
    throw LineFault("cannot open " + name_ + " (" + device_ + "): " + std::strerror(error) +
                    openFailureHint(device_, error, name_));
  }
  std::string ledTo = resolvedPath(device_);
  if (!ledTo.empty()) lastLedTo_ = ledTo;
  // The flock first: root opens a device even under TIOCEXCL, and only the
  // flock then tells it that another copy drives the mount. Until TIOCEXCL is
  // ours, closing must not clear it (the flag belongs to the device).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    if (error == EWOULDBLOCK) failIfHeld(fd);
    ::close(fd);
    fail("cannot lock", error);
  }
  claim(fd);
  auto refuse = [&](const char* operation) {
    int error = errno;
    release(fd);
    fail(operation, error);
  };
  if (::ioctl(fd, TIOCEXCL) != 0) refuse("cannot lock");

  termios line{};
  if (::tcgetattr(fd, &line) != 0) refuse("cannot read the line settings of");
  line.c_iflag = 0;
  line.c_oflag = 0;
  line.c_lflag = 0;
  line.c_cflag = CS8 | CREAD | CLOCAL;  // no parity, 1 stop bit, no CRTSCTS
  // VMIN 1 with O_NONBLOCK: an empty buffer reads as EAGAIN, so a read of
  // 0 bytes can only mean that the other side hung up.
  line.c_cc[VMIN] = 1;
  line.c_cc[VTIME] = 0;
  if (::cfsetispeed(&line, B9600) != 0 || ::cfsetospeed(&line, B9600) != 0) refuse("cannot set 9600 baud on");
  if (::tcsetattr(fd, TCSANOW, &line) != 0) refuse("cannot set the line settings of");
  // Whatever waited on the line before we opened it answers nothing of ours.
  if (::tcflush(fd, TCIOFLUSH) != 0) refuse("cannot clear");
  fd_ = fd;
}

void PosixSerialPort::close() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  // Closing waits while the driver sends what it still holds. The descriptor
  // is gone even when close reports an error; EINTR is no failure.
  if (release(fd) != 0 && errno != EINTR) fail("cannot close", errno);
}

void PosixSerialPort::waitUntilWritable() {
  pollfd waiting{fd_, POLLOUT, 0};
  int ready = ::poll(&waiting, 1, static_cast<int>(writeStallLimitMs.count()));
  if (ready < 0 && errno == EINTR) return;
  if (ready < 0) fail("cannot write to", errno);
  if (ready == 0) fail("cannot write to", ETIMEDOUT);
  if (waiting.revents & (POLLHUP | POLLERR | POLLNVAL)) gone();
}

void PosixSerialPort::sendCommand(std::string_view bytes) {
  requireOpen();
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
      waitUntilWritable();
    } else if (errno == EIO) {
      gone();
    } else if (errno != EINTR) {
      fail("cannot write to", errno);
    }
  }
}

std::string PosixSerialPort::readReceived() {
  requireOpen();
  std::string received;
  char buffer[512];
  for (;;) {
    ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n > 0) {
      received.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno == EIO) {
      gone();
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      return received;
    } else if (errno != EINTR) {
      fail("cannot read from", errno);
    }
  }
}

}  // namespace vantrel
