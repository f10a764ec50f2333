// The real clock's zone, the simulated clock's waits, the terminal's safety,
// the file store's promises, and the termios port on a pseudo-terminal.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/console_window.h"
#include "platform/fault.h"
#include "platform/folder_lock.h"
#include "platform/night_guard.h"
#include "platform/posix_clock.h"
#include "platform/posix_file_store.h"
#include "platform/posix_serial_port.h"
#include "platform/stop_request.h"
#include "platform/stop_signals.h"
#include "support/night_files.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;
using std::chrono::duration_cast, std::chrono::milliseconds;

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

// Its texts are the simulated clock's (civilReading) of UT + 9 hours.
TEST(PosixClock, ShowsUtPlusNineWhateverTheZone) {
  setenv("TZ", "America/New_York", 1);
  tzset();
  auto utMs = [] { return duration_cast<milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count(); };
  const std::int64_t before = utMs(), civil = PosixClock::civilMs() - 9 * 3600000, after = utMs();
  unsetenv("TZ");
  tzset();
  EXPECT_TRUE(before <= civil && civil <= after) << civil - before << " ms after UT + 9 h";
}

// The real clock waits in slices that serve the window and hears a stop within one.
TEST(PosixClock, WaitsServeTheWindowInSlicesAndHearAStopAtOnce) {
  testing::RecordingWindow window;
  StopRequest stop;
  PosixClock().waitForNext(ClockUnit::second, &window, stop);
  EXPECT_LT(PosixClock::civilMs() % 1000, 500) << "ends on the change of the second";
  EXPECT_LE(window.eventPasses, 60) << "slices of 20 ms, not a busy loop";
  std::thread stopper([&] { std::this_thread::sleep_for(std::chrono::milliseconds(150)), stop.raise(); });
  const auto begin = Steady::now();
  PosixClock().waitForNext(ClockUnit::minute, nullptr, stop);
  const auto waited = Steady::now() - begin;
  stopper.join();
  EXPECT_GE(waited, std::chrono::milliseconds(140));
  EXPECT_LT(waited, std::chrono::seconds(2)) << "a stop is heard within a slice, not at the minute";
}

TEST(SimulatedClock, WaitsEndOnWholeSecondsAndMinutesAndStopRequests) {
  SimulatedClock clock(testing::civil("2026-12-31T23:59:59") + 250);
  StopRequest stop;
  std::string seen;
  for (int pass = 0; pass < 3; ++pass) {  // to the next second, minute, and a stopped minute
    if (pass == 1) clock.pause(std::chrono::milliseconds(61500));
    if (pass == 2) stop.raise();
    clock.waitForNext(pass == 0 ? ClockUnit::second : ClockUnit::minute, nullptr, stop);
    seen += clock.now().dateText + " " + clock.now().timeText + ";";
  }
  EXPECT_EQ(seen, "2027-01-01 00:00:00;2027-01-01 00:02:00;2027-01-01 00:02:00;");
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

// A file store on a scratch folder of its own.
struct FileStoreTest : ::testing::Test {
  ScratchDir dir;
  PosixFileStore store{dir.path};
};

// Appends keep earlier records, every way through gives its descriptors back,
// a failure names the file and leaves only whole records.
TEST_F(FileStoreTest, AppendsKeepWholeRecordsLeakNoDescriptorAndNameTheFile) {
  EXPECT_FALSE(store.readAll("missing.txt"));
  store.createKeeping("log.txt");
  auto openCount = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
  const auto before = openCount();
  std::string records;
  for (int i = 0; i < 20; ++i) {
    store.createKeeping("log.txt");
    store.appendDurably("log.txt", "r\r\n");
    EXPECT_EQ(*store.readAll("log.txt"), records += "r\r\n");
    EXPECT_EQ(store.tail("log.txt", 2), "\r\n");
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
  rlimit small{20, saved.rlim_max};
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
TEST_F(FileStoreTest, RefusesWhatIsNoRegularFileAtItsOwnName) {
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", dir / "zero");
  fs::create_directory(dir / "folder");
  fs::create_symlink(dir / "loop", dir / "loop");
  std::ofstream(dir / "huge").close();
  fs::resize_file(dir / "huge", FileStore::maxReadBytes + 1);  // sparse
  std::ofstream(dir / "outside") << "kept";
  fs::create_symlink(dir / "outside", dir / "link");
  std::string got;
  for (const char* name : {"fifo", "zero", "folder", "loop", "huge"}) {
    got += faultOf([&] { store.readAll(name); }, ExitStatus::inputFile) + "\n";
  }
  EXPECT_EQ(got, "fifo: not a regular file but a FIFO; give the file itself\n"
                 "zero: not a regular file but a character device; give the file itself\n"
                 "folder: not a regular file but a directory; give the file itself\n"
                 "loop: cannot open: Too many levels of symbolic links\n"
                 "huge: larger than 64 MiB: not an input file\n");
  const std::function<void(const std::string&)> writes[] = {
      [&](const std::string& n) { store.createKeeping(n); },
      [&](const std::string& n) { store.createEmpty(n); },
      [&](const std::string& n) { store.appendDurably(n, "x\r\n"); },
      [&](const std::string& n) { store.tail(n, 2); },
      [&](const std::string& n) { store.readPieces(n, [](std::string_view) { return true; }); },
  };
  const std::string linked = ": a link stands at its name, not the file itself; remove it first\n";
  for (const auto& write : writes) {
    got.clear();
    for (const char* name : {"fifo", "zero", "link"}) {
      got += faultOf([&] { write(name); }, ExitStatus::inputFile) + "\n";
    }
    EXPECT_EQ(got, "fifo: not a regular file but a FIFO; remove it first\nzero" + linked + "link" + linked);
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
  std::string got;
  for (int waitStatus : {129 << 8, 130 << 8, 143 << 8, 1 << 8, SIGKILL, SIGTERM}) {
    const ChildEnding ending = childEnding(waitStatus);
    got += std::to_string(ending.status) + (ending.leftOnPurpose ? " left on purpose; " : "; ");
  }
  EXPECT_EQ(got, "129 left on purpose; 130 left on purpose; 143 left on purpose; 1; 137; 143; ");
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

// Runs `action` on a thread of its own that lacks the given effective capabilities (capset changes only the
// calling thread): without CAP_SYS_ADMIN TIOCEXCL holds, without CAP_DAC_OVERRIDE file modes do, even as root.
void withoutCapabilities(std::initializer_list<int> capabilities, const std::function<void()>& action) {
  std::exception_ptr thrown;  // an unexpected fault fails the test, it does not end the process
  std::thread([&] {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    ::syscall(SYS_capget, &header, data);
    for (int c : capabilities) data[c / 32].effective &= ~(1u << (c % 32));
    ::syscall(SYS_capset, &header, data);
    try {
      action();
    } catch (...) {
      thrown = std::current_exception();
    }
  }).join();
  if (thrown) std::rethrow_exception(thrown);
}

// A pseudo-terminal whose slave a port opens through a "COM1" link in a
// scratch folder; claims go to a folder of the test's own, never /run/lock.
class PtyLine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GE(master, 0) << std::strerror(errno);
    fs::create_symlink(::ptsname(master), com1);
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
  // What comes out of `fd` until `count` bytes or a pause of the hang guard.
  static std::string received(int fd, std::size_t count) {
    std::string got;
    char buffer[512];
    for (pollfd ready{fd, POLLIN, 0}; got.size() < count && ::poll(&ready, 1, hangGuardMs) > 0;) {
      ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }
  std::string heldBy(const std::string& holder) const {
    return holder + " holds COM1 (" + ::ptsname(master) + ")";
  }

  ScratchDir dir;
  std::string com1 = dir / "COM1", locks = dir / "locks", claimFile;
  int master = openPty();
  const std::string us = "another vantrel (pid " + std::to_string(::getpid()) + ")";
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
  EXPECT_EQ(received(master, every.size()), every) << "sent";
  EXPECT_EQ(port.readReceived(), "") << "nothing came: an empty read, at once";
  ASSERT_EQ(::write(master, every.data(), every.size()), 256);
  for (int tries = 0; got.size() < every.size() && tries < hangGuardMs; ++tries, ::usleep(1000)) {
    got += port.readReceived();
  }
  EXPECT_EQ(got, every) << "received";
  const auto begin = Steady::now();
  EXPECT_EQ(faultOf([&] { port.sendCommand(std::string(1 << 20, 'E')); }),
            "cannot write to COM1 (" + com1 + "): Connection timed out") << "a line that takes no byte";
  EXPECT_LT(Steady::now() - begin, std::chrono::seconds(10));
  ::close(std::exchange(master, -1));
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
  // The holder is found by its flock on the device, here this very process.
  withoutCapabilities({CAP_SYS_ADMIN}, [&] { EXPECT_EQ(faultOf([&] { second.open(1); }), heldBy(us)) << "open"; });
  first->close();
  EXPECT_EQ(faultOf([&] { second.open(1); }), heldBy(us)) << "between opens";
  EXPECT_FALSE(second.isOpen());
  first->open(1);  // its own claim does not stand in its way
  first->close();
  const int handed = ::dup(first->claimDescriptor());  // what SCM_RIGHTS gives the guard
  auto guard = std::make_unique<PosixSerialPort>("/nonexistent");
  guard->takeOver(first->chosenDevice(), 1, handed);
  first.reset();  // the night's process is gone
  EXPECT_EQ(faultOf([&] { second.open(1); }), heldBy(us)) << "the claim was handed over";
  guard->open(1);
  guard->sendCommand("B");
  EXPECT_EQ(received(master, 1), "B");
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
  EXPECT_EQ(received(ready[0], 1), "x");
  PosixSerialPort port(dir.path);
  const std::string fault = faultOf([&] { port.open(1); });
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  ::close(ready[0]), ::close(ready[1]);
  EXPECT_EQ(fault, heldBy("pid " + std::to_string(holder) + " (minicom, user root)"));
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
    fs::remove_all(locks);
    fs::create_directory(locks);
    prepare();
    std::string got;
    withoutCapabilities({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}, [&] {
      PosixSerialPort required(dir.path);
      got = faultOf([&] { required.open(1); }) + (required.isOpen() ? " but opened\n" : "\n");
      PosixSerialPort optional(dir.path, {"", false, [&](const std::string& w) { got += w + "\n"; }});
      for (int i = 0; i < 2; ++i) optional.open(1), optional.close();
    });
    EXPECT_EQ(got, "cannot claim " + what + why + "; mend that, set VANTREL_LOCK_DIR to a writable folder, or start "
                   "with --no-device-claim\nnot claimed: " + what + why +
                   "; only the lock on the open device keeps another copy out\n");
  }
}

// A device this user may not open: the message says which group to join.
TEST_F(PtyLine, ADeviceWithoutPermissionNamesTheGroupToJoin) {
  const group* dialout = ::getgrnam("dialout");
  ASSERT_NE(dialout, nullptr);
  if (::chown(::ptsname(master), static_cast<uid_t>(-1), dialout->gr_gid) != 0) GTEST_SKIP() << "needs root";
  ASSERT_EQ(::chmod(::ptsname(master), 0060), 0);  // the group's only
  std::string fault;
  withoutCapabilities({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH},
                      [&] { fault = faultOf([&] { PosixSerialPort(dir.path).open(1); }); });
  EXPECT_EQ(fault, "cannot open COM1 (" + com1 + "): Permission denied; the device belongs to group dialout: "
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
  EXPECT_EQ(received(replugged, 1), "E");
  fs::remove(com1);
  EXPECT_EQ(faultOf([&] { port.open(1); }), gone + device);
  ::close(replugged);
}

}  // namespace
}  // namespace vantrel
