// The termios port on a pseudo-terminal: the test holds the master side, the
// port opens the slave through a "COM1" link in a scratch directory.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
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

class PtyLine : public ::testing::Test {
 protected:
  void SetUp() override {
    char scratch[] = "/tmp/vantrel-port-XXXXXX";
    ASSERT_NE(::mkdtemp(scratch), nullptr);
    dir = scratch;
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0) << std::strerror(errno);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    slavePath = ::ptsname(master);
    fs::create_symlink(slavePath, dir + "/COM1");
  }
  void TearDown() override {
    if (master >= 0) ::close(master);
    fs::remove_all(dir);
  }

  // Reads `count` bytes from the master side.
  std::string masterRead(std::size_t count) {
    std::string got;
    char buffer[512];
    while (got.size() < count) {
      pollfd ready{master, POLLIN, 0};
      if (::poll(&ready, 1, hangGuardMs) <= 0) break;
      ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }
  void masterWrite(const std::string& bytes) {
    ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // readReceived until `count` bytes came (the pty hands bytes on at once;
  // the loop only covers a slow scheduler).
  std::string portRead(PosixSerialPort& port, std::size_t count) {
    std::string got;
    for (int tries = 0; got.size() < count && tries < hangGuardMs; ++tries) {
      got += port.readReceived();
      if (got.size() < count) ::usleep(1000);
    }
    return got;
  }
  std::string faultOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const Fault& fault) {
      return fault.what();
    }
    return "no fault";
  }

  std::string dir;
  std::string slavePath;
  int master = -1;
};

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

TEST_F(PtyLine, DevicePathPrefersTheLinkInTheWorkingDirectory) {
  PosixSerialPort port(dir);
  EXPECT_EQ(port.devicePath(1), dir + "/COM1");
  EXPECT_EQ(port.devicePath(4), "/dev/ttyS3");
  fs::create_symlink(dir + "/unplugged", dir + "/COM5");
  EXPECT_EQ(port.devicePath(5), dir + "/COM5") << "a dangling link is no reason to take another port";
  EXPECT_EQ(faultOf([&] { port.open(5); }), "cannot open COM5 (" + dir + "/COM5): No such file or directory");
  EXPECT_FALSE(port.isOpen());
}

TEST_F(PtyLine, OpenSetsRaw9600EightNoneOneWithoutFlowControl) {
  PosixSerialPort port(dir);
  port.open(1);
  termios line{};
  ASSERT_EQ(::tcgetattr(master, &line), 0);  // a pty master reports its slave's settings
  EXPECT_EQ(::cfgetospeed(&line), B9600);
  EXPECT_EQ(::cfgetispeed(&line), B9600);
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(line.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
  EXPECT_EQ(line.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
  EXPECT_EQ(line.c_oflag & OPOST, 0u);
  EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
}

TEST_F(PtyLine, BytesPassRawBothWays) {
  PosixSerialPort port(dir);
  port.open(1);
  std::string every;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  port.sendCommand(every);
  EXPECT_EQ(masterRead(every.size()), every);

  EXPECT_EQ(port.readReceived(), "") << "nothing came: an empty read, at once";
  const std::string controls("\r\n\x03\x11\x13\x7F\xFF\x00#", 9);
  masterWrite(controls);
  EXPECT_EQ(portRead(port, controls.size()), controls);
}

TEST_F(PtyLine, SecondOpenerIsLockedOut) {
  PosixSerialPort first(dir);
  first.open(1);
  PosixSerialPort second(dir);
  WithoutSysAdmin unprivileged;
  EXPECT_EQ(faultOf([&] { second.open(1); }), "cannot open COM1 (" + dir + "/COM1): Device or resource busy");
  EXPECT_FALSE(second.isOpen());
}

TEST_F(PtyLine, CloseReleasesTheLock) {
  PosixSerialPort first(dir);
  first.open(1);
  first.close();
  EXPECT_FALSE(first.isOpen());
  PosixSerialPort second(dir);
  WithoutSysAdmin unprivileged;
  second.open(1);
  EXPECT_TRUE(second.isOpen());
}

TEST_F(PtyLine, OtherSideClosingIsAFaultNamingTheDevice) {
  PosixSerialPort port(dir);
  port.open(1);
  ::close(master);
  master = -1;
  const std::string gone = "serial line COM1 (" + dir + "/COM1): the device is gone";
  EXPECT_EQ(faultOf([&] { port.readReceived(); }), gone);
  EXPECT_EQ(faultOf([&] { port.sendCommand("E"); }), gone);
  port.close();
  EXPECT_FALSE(port.isOpen());
}

TEST_F(PtyLine, MisuseIsAFault) {
  PosixSerialPort port(dir);
  EXPECT_THROW(port.sendCommand("E"), Fault) << "sending while closed";
  EXPECT_THROW(port.readReceived(), Fault) << "reading while closed";
  port.open(1);
  EXPECT_THROW(port.open(1), Fault) << "opening twice";
  EXPECT_TRUE(port.isOpen());
}

TEST(PosixSerialPortFiles, NotATerminalIsRefused) {
  char scratch[] = "/tmp/vantrel-port-XXXXXX";
  ASSERT_NE(::mkdtemp(scratch), nullptr);
  std::string dir = scratch;
  std::FILE* plain = std::fopen((dir + "/COM2").c_str(), "w");
  ASSERT_NE(plain, nullptr);
  std::fclose(plain);
  PosixSerialPort port(dir);
  try {
    port.open(2);
    ADD_FAILURE() << "a plain file opened as a serial line";
  } catch (const Fault& fault) {
    EXPECT_EQ(std::string(fault.what()), "cannot lock COM2 (" + dir + "/COM2): Inappropriate ioctl for device");
  }
  EXPECT_FALSE(port.isOpen());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vantrel
