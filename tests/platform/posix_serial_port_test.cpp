// The termios port on a pseudo-terminal: the test holds the master side, the
// port opens the slave through a "COM1" link in a scratch directory.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <linux/capability.h>
#include <poll.h>
#include <string>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include "platform/fault.h"
#include "platform/posix_serial_port.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

// Only a guard against a hang when a byte never comes; no test waits for it.
constexpr int hangGuardMs = 5000;

std::string faultOf(const std::function<void()>& action) {
  try { action(); } catch (const Fault& fault) { return fault.what(); }
  return "no fault";
}

// While it lives, this thread lacks CAP_SYS_ADMIN in its effective set, so
// TIOCEXCL holds even when the tests run as root.
class WithoutSysAdmin {
 public:
  WithoutSysAdmin() {
    ::syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[CAP_SYS_ADMIN / 32].effective &= ~(1u << (CAP_SYS_ADMIN % 32));
    ::syscall(SYS_capset, &header_, reduced);
  }
  ~WithoutSysAdmin() { ::syscall(SYS_capset, &header_, saved_); }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
};

class PtyLine : public ::testing::Test {
 protected:
  void SetUp() override {
    char scratch[] = "/tmp/vantrel-port-XXXXXX";
    ASSERT_NE(::mkdtemp(scratch), nullptr);
    dir = scratch;
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0) << std::strerror(errno);
    ASSERT_TRUE(::grantpt(master) == 0 && ::unlockpt(master) == 0) << std::strerror(errno);
    fs::create_symlink(::ptsname(master), dir + "/COM1");
  }
  void TearDown() override {
    if (master >= 0) ::close(master);
    fs::remove_all(dir);
  }

  std::string dir;
  int master = -1;
};

TEST_F(PtyLine, EveryByteValuePassesUnchangedBothWays) {
  PosixSerialPort port(dir);
  port.open(1);
  termios line{};
  ASSERT_EQ(::tcgetattr(master, &line), 0);  // a pty master reports its slave's settings
  EXPECT_EQ(::cfgetospeed(&line), B9600);
  EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));

  std::string every, got;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  port.sendCommand(every);
  for (pollfd ready{master, POLLIN, 0}; got.size() < every.size() && ::poll(&ready, 1, hangGuardMs) > 0;) {
    char buffer[512];
    ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  EXPECT_EQ(got, every) << "sent";

  EXPECT_EQ(port.readReceived(), "") << "nothing came: an empty read, at once";
  ASSERT_EQ(::write(master, every.data(), every.size()), 256);
  got.clear();
  for (int tries = 0; got.size() < every.size() && tries < hangGuardMs; ++tries, ::usleep(1000))
    got += port.readReceived();
  EXPECT_EQ(got, every) << "received";
}

// The device stays the first port's from its first open until it is gone,
// also between opens: another copy cannot take turns with it between targets.
TEST_F(PtyLine, ASecondPortIsRefusedUntilTheFirstIsDone) {
  auto first = std::make_unique<PosixSerialPort>(dir);
  PosixSerialPort second(dir);
  first->open(1);
  const std::string held = "another vantrel (pid " + std::to_string(::getpid()) + ") holds COM1 (" +
                           std::string(::ptsname(master)) + ")";
  {
    WithoutSysAdmin unprivileged;
    // The holder is found by its flock on the device, here this very process.
    EXPECT_EQ(faultOf([&] { second.open(1); }), held) << "while open";
  }
  first->close();
  EXPECT_EQ(faultOf([&] { second.open(1); }), held) << "between opens";
  EXPECT_FALSE(second.isOpen());
  first->open(1);  // its own claim does not stand in its way
  first.reset();
  second.open(1);
  EXPECT_TRUE(second.isOpen());
}

// A line that takes no byte (nobody reads the other side) fails after the
// write's time limit instead of hanging the night.
TEST_F(PtyLine, AStuckLineFailsAWriteInsteadOfHanging) {
  PosixSerialPort port(dir);
  port.open(1);
  auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(faultOf([&] { port.sendCommand(std::string(1 << 20, 'E')); }),
            "cannot write to COM1 (" + dir + "/COM1): Connection timed out");
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
}

TEST_F(PtyLine, TheOtherSideClosingIsAFaultNamingTheDevice) {
  PosixSerialPort port(dir);
  port.open(1);
  ::close(master);
  master = -1;
  const std::string gone = "serial line COM1 (" + dir + "/COM1): the device is gone";
  EXPECT_EQ(faultOf([&] { port.readReceived(); }), gone);
  EXPECT_EQ(faultOf([&] { port.sendCommand("E"); }), gone);
}

TEST_F(PtyLine, TheComLinkComesFirstAndADanglingOrVanishedOneFailsNamingIt) {
  PosixSerialPort port(dir);
  EXPECT_EQ(port.devicePath(1), dir + "/COM1");
  EXPECT_EQ(port.devicePath(4), "/dev/ttyS3");
  fs::create_symlink(dir + "/unplugged", dir + "/COM5");
  EXPECT_EQ(port.devicePath(5), dir + "/COM5") << "a dangling link is no reason to take another port";
  EXPECT_EQ(faultOf([&] { port.open(5); }), "cannot open COM5 (" + dir + "/COM5): No such file or directory");
  EXPECT_FALSE(port.isOpen());

  // The path is decided once: a link that vanishes never sends the park to
  // the motherboard's /dev/ttyS<N-1>, and a link that comes back (a
  // replugged adapter) is followed anew.
  const std::string firstDevice = ::ptsname(master);
  port.choosePort(1);
  fs::remove(dir + "/COM1");
  EXPECT_EQ(port.devicePath(1), "/dev/ttyS0") << "what a fresh choice would take now";
  const std::string gone = "cannot open COM1 (" + dir + "/COM1): the link is gone or leads nowhere; it last led to " +
                           firstDevice;
  EXPECT_EQ(faultOf([&] { port.open(1); }), gone) << "chosen before the first open";

  int replugged = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_TRUE(replugged >= 0 && ::grantpt(replugged) == 0 && ::unlockpt(replugged) == 0);
  const std::string secondDevice = ::ptsname(replugged);
  fs::create_symlink(secondDevice, dir + "/COM1");
  port.open(1);
  port.sendCommand("E");
  port.close();
  char byte = 0;
  pollfd ready{replugged, POLLIN, 0};
  EXPECT_TRUE(::poll(&ready, 1, hangGuardMs) == 1 && ::read(replugged, &byte, 1) == 1 && byte == 'E');
  fs::remove(dir + "/COM1");
  EXPECT_EQ(faultOf([&] { port.open(1); }),
            "cannot open COM1 (" + dir + "/COM1): the link is gone or leads nowhere; it last led to " + secondDevice);
  ::close(replugged);
}

}  // namespace
}  // namespace vantrel
