// The real clock's zone, the simulated clock's waits, the terminal's safety,
// the file store's promises, and the termios port on a pseudo-terminal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <linux/capability.h>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "platform/console_window.h"
#include "platform/fault.h"
#include "platform/folder_lock.h"
#include "platform/night_guard.h"
#include "platform/posix_clock.h"
#include "platform/posix_file_store.h"
#include "platform/posix_serial_port.h"
#include "platform/simulated_clock.h"
#include "platform/stop_request.h"
#include "platform/stop_signals.h"
#include "support/night_files.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

const std::string orion = "\xE3\x82\xAA\xE3\x83\xAA\xE3\x82\xAA\xE3\x83\xB3";  // "Orion" in katakana, UTF-8
constexpr int hangGuardMs = 5000;  // only against a hang when a byte never comes; no test waits for it

// A scratch folder of the test's own.
struct ScratchDir {
  std::string path = (fs::temp_directory_path() / "vantrel-test-XXXXXX").string();
  ScratchDir() { EXPECT_TRUE(mkdtemp(path.data())); }
  ~ScratchDir() { fs::remove_all(path); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

std::string faultOf(const std::function<void()>& action, ExitStatus wantStatus = ExitStatus::runtimeFault) {
  try {
    action();
  } catch (const Fault& f) {
    EXPECT_EQ(f.status(), wantStatus) << f.what();
    return f.what();
  }
  return "no fault";
}

TEST(PosixClock, ShowsUtPlusNineWhateverTheZone) {
  setenv("TZ", "America/New_York", 1);
  tzset();
  std::string want, got;
  // Two readings can straddle a change of hour; one of three tries is enough.
  for (int attempt = 0; attempt < 3 && (want.empty() || want != got); ++attempt) {
    std::time_t utc = std::time(nullptr) + 9 * 3600;
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H", std::gmtime(&utc));
    want = text;
    ClockReading reading = PosixClock().now();
    got = reading.dateText + " " + reading.timeText.substr(0, 2);
  }
  unsetenv("TZ");
  tzset();
  EXPECT_EQ(got, want);
}

// The real clock waits in slices that serve the window and hears a stop within one.
TEST(PosixClock, WaitsServeTheWindowInSlicesAndHearAStopAtOnce) {
  testing::RecordingWindow window;
  StopRequest stop;
  PosixClock().waitForNext(ClockUnit::second, &window, stop);
  EXPECT_LT(PosixClock::civilMs() % 1000, 500) << "ends on the change of the second";
  EXPECT_LE(window.eventPasses, 60) << "slices of 20 ms, not a busy loop";
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    stop.raise();
  });
  auto begin = std::chrono::steady_clock::now();
  PosixClock().waitForNext(ClockUnit::minute, nullptr, stop);
  auto waited = std::chrono::steady_clock::now() - begin;
  stopper.join();
  EXPECT_GE(waited, std::chrono::milliseconds(140));
  EXPECT_LT(waited, std::chrono::seconds(2)) << "a stop is heard within a slice, not at the minute";
}

TEST(SimulatedClock, WaitsEndOnWholeSecondsAndMinutesAndStopRequests) {
  SimulatedClock clock(*SimulatedClock::parseCivilTime("2026-12-31T23:59:59") + 250);
  StopRequest stop;
  clock.waitForNext(ClockUnit::second, nullptr, stop);
  EXPECT_EQ(clock.now().dateText + " " + clock.now().timeText, "2027-01-01 00:00:00");
  clock.pause(std::chrono::milliseconds(61500));
  clock.waitForNext(ClockUnit::minute, nullptr, stop);
  EXPECT_EQ(clock.now().timeText, "00:02:00");
  stop.raise();
  clock.waitForNext(ClockUnit::minute, nullptr, stop);
  EXPECT_EQ(clock.now().timeText, "00:02:00") << "a raised stop request ends the wait at once";
  EXPECT_EQ(*SimulatedClock::parseCivilTime("2024-02-29 18:00:30"), 1709229630000);
  for (const char* bad : {"2025-02-29T18:00", "2026-12-06T24:00", "2026-12-06", "2026-12-06T18:00x", "tomorrow",
                          "2026-12-06T18:00:60", "2026-12-06T18:60", "2026-13-01T18:00", "2026-12-32T18:00"}) {
    EXPECT_FALSE(SimulatedClock::parseCivilTime(bad)) << bad;
  }
}

// The texts are made digit by digit; the C library is the reference, from
// before 1970 to beyond four-digit years.
TEST(SimulatedClock, TextsAgreeWithTheCLibraryOverTheCalendar) {
  std::vector<std::int64_t> instants = {0, -1, 86399999, -86400000, 253402300799999, 253402300800000, -62167219200001};
  std::uint64_t x = 88172645463325252u;  // xorshift: fixed, so a failure repeats
  for (int i = 0; i < 2000; ++i) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    instants.push_back(static_cast<std::int64_t>(x % 600000000000000ull) - 300000000000000);
  }
  for (std::int64_t ms : instants) {
    std::time_t t = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0));
    std::tm tm{};
    gmtime_r(&t, &tm);
    char want[48];
    std::snprintf(want, sizeof want, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    ClockReading reading = civilReading(ms);
    ASSERT_EQ(reading.dateText + " " + reading.timeText, want) << ms << " ms";
  }
}

TEST(ConsoleWindow, ControlCharactersAndTitleEscapesNeverReachTheTerminal) {
  EXPECT_EQ(printableForTerminal("M42 a\x1b]0;evil\x07z tab\there\r"), "M42 a\\x1B]0;evil\\x07z tab\\x09here\\x0D");
  // A C1 control in UTF-8 and invalid UTF-8 are escaped, whole characters kept.
  EXPECT_EQ(printableForTerminal("\xC2\x9B" "31m " + orion + " \xFF ok"), "\\xC2\\x9B31m " + orion + " \\xFF ok");
  // Output that is not a terminal gets the title as text, never its escape.
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* file = open_memstream(&text, &size);
  ConsoleWindow(file, ConsoleWindow::Options{nullptr, true, -1}).setTitle("Vantrel v1.10 M42");
  std::fclose(file);
  EXPECT_EQ(std::string(text, size), "title: Vantrel v1.10 M42\n");
  std::free(text);
}

// Appends keep earlier records, every way through gives its descriptors back,
// a failure names the file and leaves only whole records.
TEST(PosixFileStore, AppendsKeepWholeRecordsLeakNoDescriptorAndNameTheFile) {
  ScratchDir dir;
  PosixFileStore store(dir.path);
  EXPECT_FALSE(store.readAll("missing.txt"));
  store.createKeeping("log.txt");
  auto openCount = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
  const auto before = openCount();
  std::string records;
  for (int i = 0; i < 20; ++i) {
    store.createKeeping("log.txt");
    store.appendDurably("log.txt", "r\r\n");
    EXPECT_EQ(*store.readAll("log.txt"), records += "r\r\n");
    store.tail("log.txt", 2);
    store.createEmpty("other.txt");
    EXPECT_EQ(faultOf([&] { store.appendDurably("no-such-dir/log.txt", "x"); }),
              "no-such-dir/log.txt: cannot open for appending: No such file or directory");
    faultOf([&] { store.readAll("."); }, ExitStatus::inputFile);
  }
  EXPECT_EQ(openCount(), before);
  EXPECT_EQ(store.legacyToUtf8("\x83\x49\x83\x8A\x83\x49\x83\x93"), orion);
  EXPECT_FALSE(store.legacyToUtf8("\x83"));
  store.createEmpty("log.txt");
  EXPECT_EQ(*store.readAll("log.txt"), "");
  // A full disk: the write stops part of the way into a record. The file size
  // limit fails a write the same way (short, then EFBIG).
  store.appendDurably("log.txt", "first record\r\n");
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto savedHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 20;
  setrlimit(RLIMIT_FSIZE, &small);
  std::string fault = faultOf([&] { store.appendDurably("log.txt", "a record that does not fit\r\n"); });
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, savedHandler);
  EXPECT_EQ(fault, "log.txt: cannot write: File too large");
  EXPECT_EQ(*store.readAll("log.txt"), "first record\r\n");
}

// Only regular files are read, nothing blocks or fills the memory; the files
// it writes (and the log it reads back) are regular files at their own names:
// a FIFO is never waited on, a link planted there never followed.
TEST(PosixFileStore, RefusesWhatIsNoRegularFileAtItsOwnName) {
  ScratchDir dir;
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", dir / "zero");
  fs::create_directory(dir / "folder");
  fs::create_symlink(dir / "loop", dir / "loop");
  std::ofstream(dir / "huge").close();
  fs::resize_file(dir / "huge", FileStore::maxReadBytes + 1);  // sparse
  std::ofstream(dir / "outside") << "kept";
  fs::create_symlink(dir / "outside", dir / "link");
  PosixFileStore store(dir.path);
  const std::pair<const char*, const char*> reads[] = {
      {"fifo", "fifo: not a regular file but a FIFO; give the file itself"},
      {"zero", "zero: not a regular file but a character device; give the file itself"},
      {"folder", "folder: not a regular file but a directory; give the file itself"},
      {"loop", "loop: cannot open: Too many levels of symbolic links"},
      {"huge", "huge: larger than 64 MiB: not an input file"},
  };
  for (const auto& [name, want] : reads) EXPECT_EQ(faultOf([&] { store.readAll(name); }, ExitStatus::inputFile), want);
  const std::pair<const char*, std::function<void(const std::string&)>> writes[] = {
      {"createKeeping", [&](const std::string& n) { store.createKeeping(n); }},
      {"createEmpty", [&](const std::string& n) { store.createEmpty(n); }},
      {"appendDurably", [&](const std::string& n) { store.appendDurably(n, "x\r\n"); }},
      {"tail", [&](const std::string& n) { store.tail(n, 2); }},
      {"readPieces", [&](const std::string& n) { store.readPieces(n, [](std::string_view) { return true; }); }},
  };
  for (const auto& [use, action] : writes) {
    EXPECT_EQ(faultOf([&] { action("fifo"); }, ExitStatus::inputFile),
              "fifo: not a regular file but a FIFO; remove it first") << use;
    EXPECT_EQ(faultOf([&] { action("zero"); }, ExitStatus::inputFile),
              "zero: a link stands at its name, not the file itself; remove it first") << use;
    EXPECT_EQ(faultOf([&] { action("link"); }, ExitStatus::inputFile),
              "link: a link stands at its name, not the file itself; remove it first") << use;
  }
  EXPECT_EQ(*store.readAll("outside"), "kept");
}

// A second copy in the folder names the first by the pid that it wrote, and
// only by a pid: whatever else the file holds, of any length, names nobody.
TEST(FolderLock, ASecondCopyNamesTheFirstOnlyByAPid) {
  ScratchDir dir;
  FolderLock first(dir.path);
  const std::string nobody = "another vantrel is running in this folder (it holds vantrel.lock)";
  const std::pair<std::string, std::string> cases[] = {
      {"4321\n", "another vantrel (pid 4321) is running in this folder"},
      {std::string(64, '7'), nobody},  // longer than what is read of it
      {"99999999999\n", nobody},       // no pid is that large
      {"12ab\n", nobody},
      {"-12\n", nobody},
      {"", nobody},
  };
  for (const auto& [content, want] : cases) {
    std::ofstream(dir / "vantrel.lock", std::ios::trunc) << content;
    EXPECT_EQ(faultOf([&] { FolderLock second(dir.path); }), want) << content;
  }
}

// A second stop request makes the night leave at once with 128 + the signal
// (the window's 130 too): the guard lets that be. A signal that kills it is no such way out.
TEST(NightGuard, TheNightsOwnWayOutOnASecondStopIsLeftOnPurpose) {
  const struct { int waitStatus, status; bool leftOnPurpose; } cases[] = {
      {129 << 8, 129, true}, {130 << 8, 130, true}, {143 << 8, 143, true},
      {1 << 8, 1, false},    {SIGKILL, 137, false}, {SIGTERM, 143, false},
  };
  for (const auto& c : cases) {
    const ChildEnding ending = childEnding(c.waitStatus);
    EXPECT_EQ(ending.status, c.status) << c.waitStatus;
    EXPECT_EQ(ending.leftOnPurpose, c.leftOnPurpose) << c.waitStatus;
  }
}

// The first stop signal is a request: the night goes on to park. A second one
// outside the park leaves at once with 128 + its number, saying so.
TEST(StopSignals, TheFirstIsARequestASecondOutsideTheParkLeavesAtOnce) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    for (int count : {1, 2}) {
      EXPECT_EXIT(
          {
            StopRequest stop;
            installStopSignals(stop);
            for (int i = 0; i < count; ++i) ::raise(signal);
            std::_Exit(stop.count());
          },
          ::testing::ExitedWithCode(count == 1 ? 1 : 128 + signal), count == 1 ? "" : "^vantrel: .*NOT parked")
          << signal;
    }
  }
}

// While it lives, this thread lacks the given effective capabilities: without
// CAP_SYS_ADMIN TIOCEXCL holds, without CAP_DAC_OVERRIDE file modes do, even as root.
class WithoutCapabilities {
 public:
  explicit WithoutCapabilities(std::initializer_list<int> capabilities) {
    ::syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    for (int c : capabilities) reduced[c / 32].effective &= ~(1u << (c % 32));
    ::syscall(SYS_capset, &header_, reduced);
  }
  ~WithoutCapabilities() { ::syscall(SYS_capset, &header_, saved_); }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
};

// A pseudo-terminal whose slave a port opens through a "COM1" link in a
// scratch folder; claims go to a folder of the test's own, never /run/lock.
class PtyLine : public ::testing::Test {
 protected:
  void SetUp() override {
    master = openPty();
    ASSERT_GE(master, 0) << std::strerror(errno);
    fs::create_symlink(::ptsname(master), dir / "COM1");
    fs::create_directory(locks);
    setenv("VANTREL_LOCK_DIR", locks.c_str(), 1);
    struct stat device {};
    ::stat(::ptsname(master), &device);
    claimFile = locks + "/vantrel-tty-" + std::to_string(major(device.st_rdev)) + "-" +
                std::to_string(minor(device.st_rdev)) + ".lock";
  }
  void TearDown() override {
    unsetenv("VANTREL_LOCK_DIR");
    if (master >= 0) ::close(master);
  }
  static int openPty() {
    int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    return fd >= 0 && ::grantpt(fd) == 0 && ::unlockpt(fd) == 0 ? fd : -1;
  }
  static bool receives(int fd, char want) {
    char byte = 0;
    pollfd ready{fd, POLLIN, 0};
    return ::poll(&ready, 1, hangGuardMs) == 1 && ::read(fd, &byte, 1) == 1 && byte == want;
  }
  std::string heldByUs() const {
    return "another vantrel (pid " + std::to_string(::getpid()) + ") holds COM1 (" + ::ptsname(master) + ")";
  }

  ScratchDir dir;
  std::string com1 = dir / "COM1", locks = dir / "locks", claimFile;
  int master = -1;
};

// Every byte value passes unchanged both ways; faults of the line name the device.
TEST_F(PtyLine, EveryByteValuePassesUnchangedBothWaysAndFaultsNameTheDevice) {
  PosixSerialPort port(dir.path);
  port.open(1);
  termios line{};
  ASSERT_EQ(::tcgetattr(master, &line), 0);  // a pty master reports its slave's settings
  EXPECT_EQ(::cfgetospeed(&line), B9600);
  EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
  std::string every, got;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  port.sendCommand(every);
  char buffer[512];
  for (pollfd ready{master, POLLIN, 0}; got.size() < every.size() && ::poll(&ready, 1, hangGuardMs) > 0;) {
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
  auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(faultOf([&] { port.sendCommand(std::string(1 << 20, 'E')); }),
            "cannot write to COM1 (" + com1 + "): Connection timed out") << "a line that takes no byte";
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
  ::close(master);
  master = -1;
  const std::string gone = "serial line COM1 (" + com1 + "): the device is gone";
  EXPECT_EQ(faultOf([&] { port.readReceived(); }), gone);
  EXPECT_EQ(faultOf([&] { port.sendCommand("E"); }), gone);
  port.close();
  EXPECT_EQ(faultOf([&] { port.sendCommand("E"); }), "serial line COM1 used while it is not open");
}

// The device stays the first port's from its first open until it is gone, also
// between opens (another copy cannot take turns with it between targets) and when
// the claim is handed to the process that parks after the night's process died.
TEST_F(PtyLine, ASecondPortIsRefusedUntilTheFirstIsDone) {
  auto first = std::make_unique<PosixSerialPort>(dir.path);
  PosixSerialPort second(dir.path);
  first->open(1);
  {
    WithoutCapabilities unprivileged({CAP_SYS_ADMIN});
    // The holder is found by its flock on the device, here this very process.
    EXPECT_EQ(faultOf([&] { second.open(1); }), heldByUs()) << "while open";
  }
  first->close();
  EXPECT_EQ(faultOf([&] { second.open(1); }), heldByUs()) << "between opens";
  EXPECT_FALSE(second.isOpen());
  first->open(1);  // its own claim does not stand in its way
  first->close();
  const int handed = ::dup(first->claimDescriptor());  // what SCM_RIGHTS gives the guard
  auto guard = std::make_unique<PosixSerialPort>("/nonexistent");
  guard->takeOver(first->chosenDevice(), 1, handed);
  first.reset();  // the night's process is gone
  EXPECT_EQ(faultOf([&] { second.open(1); }), heldByUs()) << "the claim was handed over";
  guard->open(1);
  guard->sendCommand("B");
  EXPECT_TRUE(receives(master, 'B'));
  EXPECT_EQ(guard->claimDescriptor(), handed);
  guard.reset();
  second.open(1);
  EXPECT_TRUE(second.isOpen());
}

// Someone else's program holding the claim file is named as what it is, not
// taken for a copy of vantrel.
TEST_F(PtyLine, AClaimHeldByAnotherProgramNamesItsCommandAndUser) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t holder = ::fork();
  if (holder == 0) {
    ::prctl(PR_SET_NAME, "minicom");
    int fd = ::open(claimFile.c_str(), O_RDONLY | O_CREAT, 0644);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0 || ::write(ready[1], "x", 1) != 1) _exit(1);
    ::pause();
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  PosixSerialPort port(dir.path);
  const std::string fault = faultOf([&] { port.open(1); });
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  ::close(ready[0]), ::close(ready[1]);
  EXPECT_EQ(fault, "pid " + std::to_string(holder) + " (minicom, user root) holds COM1 (" + ::ptsname(master) + ")");
  EXPECT_FALSE(port.isOpen());
}

// A device that cannot be claimed stops its first open, before any byte,
// naming the claim file and why; without the requirement it warns once and
// the port works.
TEST_F(PtyLine, AClaimThatCannotBeTakenStopsTheFirstOpenOrWarns) {
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[&] { fs::remove(locks); }, "the folder " + locks + " is missing"},
      {[&] { fs::create_symlink(dir / "elsewhere", claimFile); }, "a symbolic link stands at its name"},
      {[&] { ::mkfifo(claimFile.c_str(), 0644); }, "not a regular file"},
      {[&] { fs::permissions(locks, fs::perms::owner_read | fs::perms::owner_exec); }, "Permission denied"},
  };
  const std::string what = "COM1 (" + com1 + ") against a copy of vantrel in another folder: " + claimFile + ": ";
  for (const auto& [prepare, why] : cases) {
    SCOPED_TRACE(why);
    fs::remove_all(locks);
    fs::create_directory(locks);
    prepare();
    WithoutCapabilities unprivileged({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH});
    PosixSerialPort required(dir.path);
    EXPECT_EQ(faultOf([&] { required.open(1); }), "cannot claim " + what + why + "; mend that, set VANTREL_LOCK_DIR "
                                                  "to a writable folder, or start with --no-device-claim");
    EXPECT_FALSE(required.isOpen());
    std::vector<std::string> warnings;
    PosixSerialPort optional(dir.path, {"", false, [&](const std::string& w) { warnings.push_back(w); }});
    for (int i = 0; i < 2; ++i) optional.open(1), optional.close();
    EXPECT_THAT(warnings, ::testing::ElementsAre("not claimed: " + what + why +
                                                 "; only the lock on the open device keeps another copy out"));
  }
}

// A device this user may not open: the message says which group to join.
TEST_F(PtyLine, ADeviceWithoutPermissionNamesTheGroupToJoin) {
  const group* dialout = ::getgrnam("dialout");
  ASSERT_NE(dialout, nullptr);
  if (::chown(::ptsname(master), static_cast<uid_t>(-1), dialout->gr_gid) != 0) GTEST_SKIP() << "needs root";
  ASSERT_EQ(::chmod(::ptsname(master), 0060), 0);  // the group's only
  WithoutCapabilities unprivileged({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH});
  EXPECT_EQ(faultOf([&] { PosixSerialPort(dir.path).open(1); }),
            "cannot open COM1 (" + com1 + "): Permission denied; the device belongs to group dialout: "
                                   "add yourself (sudo usermod -aG dialout $USER) and log in again");
}

// COM<N> is a link in the folder first, else /dev/ttyS<N-1>. The path is
// decided once: a link that vanishes never sends the park to the motherboard's
// port, and a link that comes back (a replugged adapter) is followed anew.
TEST_F(PtyLine, TheComLinkComesFirstAndADanglingOrVanishedOneFailsNamingIt) {
  PosixSerialPort port(dir.path);
  EXPECT_EQ(port.devicePath(4), "/dev/ttyS3");
  fs::create_symlink(dir / "unplugged", dir / "COM5");
  EXPECT_EQ(port.devicePath(5), dir / "COM5") << "a dangling link is no reason to take another port";
  EXPECT_EQ(faultOf([&] { port.open(5); }), "cannot open COM5 (" + dir / "COM5" + "): No such file or directory");
  EXPECT_FALSE(port.isOpen());
  const std::string gone = "cannot open COM1 (" + com1 + "): the link is gone or leads nowhere; it last led to ";
  std::string device = ::ptsname(master);
  port.choosePort(1);
  fs::remove(com1);
  EXPECT_EQ(port.devicePath(1), "/dev/ttyS0") << "what a fresh choice would take now";
  EXPECT_EQ(faultOf([&] { port.open(1); }), gone + device) << "chosen before the first open";
  const int replugged = openPty();
  ASSERT_GE(replugged, 0);
  fs::create_symlink(device = ::ptsname(replugged), com1);
  port.open(1);
  port.sendCommand("E");
  port.close();
  EXPECT_TRUE(receives(replugged, 'E'));
  fs::remove(com1);
  EXPECT_EQ(faultOf([&] { port.open(1); }), gone + device);
  ::close(replugged);
}

}  // namespace
}  // namespace vantrel
