// End to end: the real vantrel binary on the real clock against
// vantrel-mountsim on a pseudo-terminal, in a scratch directory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>

#include "e2e/vantrel_fixture.h"

namespace vantrel::e2e {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::StartsWith;

// With a window on a screen (here one served over VNC, which nobody closes)
// the summary is printed on the terminal too, the window stays to show it,
// and a stop request from outside ends that wait: a service manager's
// SIGTERM must not be ignored once the night is over.
TEST_F(Vantrel, WindowOnAScreenKeepsTheSummaryAndTheTerminalGetsItToo) {
  testing::IniValues ini;
  ini.decLimit = 10;
  prepareNight(ini, {"--rate", "0"});
  auto vantrel = start({}, [] {
    setenv("QT_QPA_PLATFORM", "vnc:port=0", 1);
    unsetenv("DISPLAY");
  });
  const char* summary = "by the declination limit (the mount reported 20.0006103515625 degrees); "
                        "park command sent, acknowledged";
  ASSERT_TRUE(waitUntil([&] { return out().find(summary) != std::string::npos; }, 30s)) << out() << err();
  EXPECT_FALSE(vantrel->waitForExit(1s)) << "the window must stay until it is closed";
  vantrel->signal(SIGTERM);
  EXPECT_EQ(exitStatus(*vantrel, 10s), 0) << err();
  EXPECT_THAT(records(), ElementsAre(HasSubstr("E2E "), HasSubstr("RD Limit, over"), "B4000,0000"));
}

// A stop request in a dwell, on a terminal: the status is one line
// rewritten in place, and each title is printed once. While the night
// supervises its target, a second copy in the same folder stops before it
// reads anything, and one in another folder whose COM1 leads to the same
// device stops at the line check, before its log exists. Both as root too,
// which TIOCEXCL alone does not keep out.
TEST_F(Vantrel, OnATerminalAndNoSecondCopyDrivesTheMount) {
  prepareDwell();
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  winsize size{};
  size.ws_row = 24, size.ws_col = 200;
  ioctl(master, TIOCSWINSZ, &size);
  fcntl(master, F_SETFL, O_NONBLOCK);
  std::string terminal;
  auto drain = [&] {
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) terminal.append(buffer, static_cast<size_t>(n));
    return terminal;
  };
  Child first({VANTREL_BINARY, "--console"}, dir.path, ptsname(master), dir / "err");
  ASSERT_TRUE(waitUntil([&] { return drain().find("0:02 of 5:00") != std::string::npos; }, 30s)) << terminal;
  const std::string logBefore = log();
  const std::string pid = "(pid " + std::to_string(first.pid()) + ")";

  Child sameFolder({VANTREL_BINARY, "--console"}, dir.path, dir / "out2", dir / "err2");
  EXPECT_EQ(sameFolder.waitForExit(10s), 1) << readFile(dir / "err2");
  EXPECT_EQ(readFile(dir / "err2"), "vantrel: another vantrel " + pid + " is running in this folder\n");
  EXPECT_EQ(log(), logBefore);

  ScratchDir other;
  writeFile(other / "vantrel.ini", readFile(dir / "vantrel.ini"));
  writeFile(other / "vantrel.adf", readFile(dir / "vantrel.adf"));
  char device[256] = {};
  ASSERT_GT(readlink((dir / "COM1").c_str(), device, sizeof device - 1), 0);
  ASSERT_EQ(symlink(device, (other / "COM1").c_str()), 0);
  Child samePort({VANTREL_BINARY, "--console"}, other.path, other / "out", other / "err");
  EXPECT_EQ(samePort.waitForExit(20s), 1) << readFile(other / "err");
  // The device is claimed by the night, the child of the process started.
  const std::string night = "(pid " + std::to_string(childOf(first.pid(), 5s)) + ")";
  EXPECT_THAT(readFile(other / "err"), HasSubstr("another vantrel " + night + " holds COM1 (" + device + ")"));
  EXPECT_FALSE(std::filesystem::exists(other / ("log" + today + ".txt"))) << "no log, so no record";

  first.signal(SIGTERM);
  EXPECT_EQ(exitStatus(first, 20s), 0) << "a stop request must end the night\n" << err();
  bytesBetweenGotoAndPark();
  EXPECT_THAT(records(), ElementsAre(HasSubstr("E2E "), "B4000,0000")) << "the first night parks its mount";
  drain();
  close(master);
  EXPECT_THAT(terminal, HasSubstr("\r\x1b[Kobserving E2E target (row 1) 0:01 of 5:00 | Dec "));
  EXPECT_THAT(terminal, HasSubstr("\r\x1b[Kobserving E2E target (row 1) 0:02 of 5:00 | Dec "));
  // Every status line is erased by the next one; none ends with a new line.
  std::size_t lines = 0;
  for (std::size_t at = terminal.find("observing "); at != std::string::npos; at = terminal.find("observing ", at + 1)) {
    ++lines;
    std::size_t next = terminal.find("\r\x1b[K", at);
    EXPECT_EQ(terminal.substr(at, next - at).find('\n'), std::string::npos) << terminal.substr(at, next - at);
  }
  EXPECT_GE(lines, 3u);
  auto count = [&](const std::string& text) {
    std::size_t n = 0;
    for (std::size_t at = terminal.find(text); at != std::string::npos; at = terminal.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("title: Skerrow, ver 1.30"), 1u);
  EXPECT_EQ(count("title: Vantrel v1.10 E2E "), 1u);
  EXPECT_THAT(terminal, HasSubstr("by a stop request; park command sent, acknowledged\r\n"));
}

// A device that another program holds (here: this test) with TIOCEXCL alone,
// as a terminal program does, ends the program at once, naming the holder.
TEST_F(Vantrel, ALineHeldByAnotherProgramIsNamed) {
  prepareNight(testing::IniValues{}, {});
  // Root passes the lock only with CAP_SYS_ADMIN: the program runs without.
  int holder = ::open((dir / "COM1").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::ioctl(holder, TIOCEXCL), 0);
  std::vector<std::string> argv = {VANTREL_BINARY, "--console"};
  if (geteuid() == 0) argv.insert(argv.begin(), {"/usr/bin/setpriv", "--bounding-set", "-sys_admin"});
  EXPECT_EQ(exitStatus(*std::make_unique<Child>(argv, dir.path, dir / "out", dir / "err"), 60s), 1);
  EXPECT_THAT(err(), HasSubstr("cannot open COM1 (" + (dir / "COM1") + "): Device or resource busy; held by " +
                               std::to_string(getpid()) + " ("));
  ::ioctl(holder, TIOCNXCL);
  ::close(holder);

  EXPECT_FALSE(std::filesystem::exists(logPath()));
  EXPECT_EQ(transcript(), "") << "nothing sent";
}

TEST_F(Vantrel, CommandLine) {
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_THAT(out(), HasSubstr("--rehearse"));
  EXPECT_EQ(run({"--version"}), 0);
  EXPECT_THAT(out(), HasSubstr("1.10"));
  const struct {
    std::vector<std::string> args;
    const char* message;
  } usage[] = {
      {{"--bogus"}, "unknown argument '--bogus'"},
      {{"--rehearse", "tomorrow"}, "START must be"},
      {{"--plan", "--nights", "0"}, "--nights must be a whole number from 1 to 366, got '0'"},
      {{"--plan", "--nights", "367"}, "got '367'"},
      {{"--plan", "--nights", "3x"}, "got '3x'"},
      {{"--plan", "--nights"}, "--nights needs a number of nights"},
      {{"--nights", "3"}, "--nights goes with --plan"},
      {{"--rehearse", "--csv", "plan.csv"}, "--csv goes with --plan"},
      {{"--plan", "--nights", " 5"}, "got ' 5'"},
      {{"--plan", "--nights", "+5"}, "got '+5'"},
      {{"--check", "--web", "8080"}, "--check serves no status page; leave out --web"},
      {{"--plan", "--web", "8080"}, "--plan serves no status page"},
      {{"--park", "--resume"}, "--park goes alone"},
      {{"--plan", "--rehearse"}, "--plan and --rehearse cannot be given together"},
  };
  for (const auto& u : usage) {
    EXPECT_EQ(run(u.args), 2) << u.message;
    EXPECT_THAT(err(), HasSubstr(u.message));
  }
}

// The picture of the rehearsal's window, drawn off-screen, beside the same
// console output. --rehearse at the end of the line starts at 18:00 today;
// without a display to show it (none, or an off-screen one) no window is
// made that nobody could close: the terminal is the window.
TEST_F(Vantrel, RehearsalOfTheExamples) {
  useExamples();
  EXPECT_EQ(run({"--rehearse", "2026-12-06T18:00", "--console"}), 0) << err();
  std::string printed = out();
  EXPECT_EQ(run({"--rehearse", "2026-12-06T18:00", "--console", "--snapshot", "night.png"}), 0) << err();
  EXPECT_EQ(out(), printed);
  EXPECT_EQ(readFile(dir / "night.png").substr(1, 3), "PNG");
  EXPECT_EQ(run({"--rehearse", "2026-12-06T18:00", "--snapshot", "no-such-dir/night.png"}), 1);
  EXPECT_THAT(err(), HasSubstr("cannot write the snapshot no-such-dir/night.png"));

  EXPECT_EQ(run({"--console", "--rehearse"}), 0) << err();
  EXPECT_THAT(out(), StartsWith(today + " 18:00:05 AL="));
  for (const char* platform : {"offscreen", ""}) {
    auto vantrel = start({"--rehearse", "2026-12-06T18:00"}, [platform] {
      setenv("QT_QPA_PLATFORM", platform, 1);
      unsetenv("DISPLAY");
      unsetenv("WAYLAND_DISPLAY");
    });
    EXPECT_EQ(exitStatus(*vantrel, 60s), 0) << platform;
    EXPECT_THAT(out(), HasSubstr("41 of 56 targets observed")) << platform;
  }
}

}  // namespace
}  // namespace vantrel::e2e
