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

TEST_F(Vantrel, DeclinationLimitEndsTheNightAndParks) {
  testing::IniValues ini;
  ini.decLimit = 10;  // the target itself lies above it: still commanded
  prepareNight(ini, {"--rate", "0"});
  EXPECT_EQ(run({"--console", "--verbose"}), 0) << err();
  EXPECT_THAT(bytesBetweenGotoAndPark(), MatchesRegex("E+")) << "only position queries between";
  // 20 degrees travel as 3641 units of 1/65536 turn.
  EXPECT_THAT(records(), ElementsAre(AllOf(StartsWith(today + " "), HasSubstr("E2E "), HasSubstr(" 1  1 ")),
                                     "RD Limit, over : < 20.0006103515625 >", "B4000,0000"));
  EXPECT_THAT(out(), HasSubstr("title: Vantrel v1.10 E2E "));
}

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

TEST_F(Vantrel, MountThatVanishesEndsTheProgramWithTheLogIntact) {
  testing::IniValues ini;
  ini.dwellMinutes = 5;
  prepareNight(ini, {"--rate", "2", "--vanish-after", "5"});
  EXPECT_EQ(run({"--console"}), 1);
  // After the warning that the nights never end by the clock.
  EXPECT_THAT(err(), MatchesRegex("(vantrel: warning: [^\n]*\n)*[^\n]*COM1[^\n]*\n"
                                  "vantrel: the night ended with status 1 at [^\n]*; the guard could not park the "
                                  "mount: cannot open COM1 [^\n]*\n"))
      << "one line naming the port, and the guard's try";
  EXPECT_THAT(records(), ElementsAre(HasSubstr("E2E ")));
}

// The line is tried before the night: a mount that does not answer, a
// device that is not there or one that another program holds end the
// program at once, before any record. The check before a night tries it too.
TEST_F(Vantrel, TheLineIsCheckedBeforeTheFirstRecord) {
  testing::IniValues ini;
  prepareNight(ini, {"--silent"});
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(run({"--console"}), 4);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
  EXPECT_THAT(err(), EndsWith("vantrel: the mount at COM1 does not answer a position query within 1 s: is it "
                              "switched on, and is the cable in this port?; nothing was logged and the mount was "
                              "not moved\n"));
  EXPECT_FALSE(std::filesystem::exists(logPath()));
  EXPECT_EQ(transcript(), "E") << "the query, and nothing else";

  // The check before a night: the examples pass, a suspicious line or a
  // silent mount warns (5), input the night refuses is refused (3); no goto,
  // no log, whatever it finds.
  useExamples();
  EXPECT_EQ(run({"--check", "2026-12-06T18:00"}), 0) << out() << err();
  EXPECT_THAT(out(), AllOf(HasSubstr("  longitude 139.5 E, latitude 35.5 N\n"),
                           HasSubstr("    13  M42        5  32.9    83.225   -  5  25.0    -5.417  5\n"),
                           HasSubstr("Warnings: none\n"),
                           HasSubstr("41 pointings observed; first goto 18:00:05, last goto 04:43:00\n"),
                           HasSubstr("line 26 \"M81 0951.5 +6918.0 Bode's Galaxy (never ...\": never in the window"),
                           HasSubstr("port COM1 -> " + (dir / "COM1") + " (link to /dev/pts/"),
                           HasSubstr("  it opens")));
  EXPECT_EQ(run({"--check", "2026-12-06T18:00", "--mount"}), 5);
  EXPECT_THAT(out(), HasSubstr("the mount at COM1 does not answer a position query within 1 s"));
  writeFile(dir / "vantrel.adf", "# shifted\r\nM42  0532.9 -0525.0 Orion Nebula 010111010\r\n");
  EXPECT_EQ(run({"--check", "2026-12-06T18:00"}), 5);
  EXPECT_THAT(out(), HasSubstr("vantrel.adf line 2, columns 5-11 \" 0532.9\": a digit in column 11"));
  writeFile(dir / "vantrel.adf", "short\r\n");
  EXPECT_EQ(run({"--check"}), 3);
  EXPECT_THAT(err(), HasSubstr("vantrel.adf line 1"));
  EXPECT_EQ(transcript(), "EE") << "the night's query and that of --mount only";
  EXPECT_FALSE(std::filesystem::exists(logPath()));
  EXPECT_FALSE(std::filesystem::exists(dir / "rehearsal-log2026-12-06.txt"));

  // Held by another program (here: this test) that locked it with TIOCEXCL
  // alone, as a terminal program does.
  mountsim.reset();
  prepareNight(ini, {});
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

  // No COM4000 in the directory, and no /dev/ttyS3999.
  ini.port = 4000;
  writeFile(dir / "vantrel.ini", testing::iniText(ini));
  EXPECT_EQ(run({"--console"}), 1);
  EXPECT_THAT(err(), HasSubstr("cannot open COM4000 (/dev/ttyS3999): No such file or directory; there is no COM4000 in "
                               "the working directory either: link the adapter there, e.g. ln -s /dev/ttyUSB0 COM4000\n"));
  EXPECT_FALSE(std::filesystem::exists(logPath()));
  EXPECT_EQ(transcript().find("R"), std::string::npos) << "no goto in any of them";
}

// A reply that comes in two halves 150 ms apart is put together.
TEST_F(Vantrel, TheLineCheckTakesAReplyInPieces) {
  prepareNight(testing::IniValues{}, {"--split"});
  auto vantrel = start({"--console"});
  ASSERT_TRUE(waitUntil([&] { return transcript().find("ER") == 0; }, 30s)) << err();
  vantrel->signal(SIGTERM);
  EXPECT_EQ(exitStatus(*vantrel, 20s), 0) << err();
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
  };
  for (const auto& u : usage) {
    EXPECT_EQ(run(u.args), 2) << u.message;
    EXPECT_THAT(err(), HasSubstr(u.message));
  }
}

// Plans write nothing but the spreadsheet asked for; tonight's lists what the
// rehearsal observes.
TEST_F(Vantrel, PlansOfTheExamples) {
  useExamples();
  EXPECT_EQ(run({"--plan", "2026-12-06T18:00"}), 0) << err();
  EXPECT_THAT(out(), AllOf(HasSubstr("\n  18:00:05  18:10:05    13  295.03  30.33  M77 0240.1 -0014.0 Cetus A"),
                           HasSubstr("\n41 of 56 targets observed; night ended 2026-12-07 05:01:00 by the clock"),
                           HasSubstr("\n15 rows never observed:\n")));
  EXPECT_EQ(run({"--plan", "2026-12-06T18:00", "--rehearse"}), 2);

  EXPECT_EQ(run({"--plan", "2026-12-06T18:00", "--nights", "3", "--csv", "plan.csv"}), 0) << err();
  EXPECT_THAT(out(), AllOf(HasSubstr("Night 3, rehearsed from 2026-12-08 18:00:00:\n"),
                           HasSubstr("Each list line over 3 nights (night 1 2026-12-06, night 3 2026-12-08)"),
                           HasSubstr("M81 0951.5 +6918.0 Bode's Galaxy (never in the window from here) 000010000: "
                                     "never in the window")));
  std::vector<std::string> csv = testing::logRecords(readFile(dir / "plan.csv"));
  ASSERT_EQ(csv.size(), 57u) << "a header and the 56 pointings";
  EXPECT_EQ(csv[0], "line,pointing,row,target,ra_deg,dec_deg,nights_observed,2026-12-06,2026-12-07,2026-12-08,reason");
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
    std::string name = entry.path().filename();
    if (name != "vantrel.ini" && name != "vantrel.adf" && name != "out" && name != "err") written.push_back(name);
  }
  EXPECT_THAT(written, ElementsAre("plan.csv")) << "the plans write nothing else";
  EXPECT_EQ(run({"--plan", "2026-12-06T18:00", "--nights", "2", "--csv", "no/such/dir/plan.csv"}), 1);
  EXPECT_THAT(err(), HasSubstr("no/such/dir/plan.csv: cannot create: No such file or directory"));
}

// The rehearsal of the examples, with a picture of the window drawn
// off-screen too. --rehearse at the end of the line starts at 18:00 today;
// without a display to show it (none, or an off-screen one) no window is
// made that nobody could close: the terminal is the window.
TEST_F(Vantrel, RehearsalOfTheExamples) {
  useExamples();
  EXPECT_EQ(run({"--rehearse", "2026-12-06T18:00", "--console"}), 0) << err();
  EXPECT_THAT(out(), AllOf(HasSubstr("\nB4000,0000\n"), HasSubstr("41 of 56 targets observed; night ended 2026-12-07 "
                                                                   "05:01:00 by the clock; park command sent, "
                                                                   "acknowledged\n")));
  EXPECT_TRUE(std::filesystem::exists(dir / "rehearsal-log2026-12-06.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "log2026-12-06.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "COM1")) << "a rehearsal opens no port";
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
