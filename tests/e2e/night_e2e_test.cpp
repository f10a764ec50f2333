// End to end: the real vantrel binary on the real clock against
// vantrel-mountsim on a pseudo-terminal, in a scratch directory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "e2e/process.h"
#include "e2e/vantrel_fixture.h"
#include "platform/posix_clock.h"
#include "platform/simulated_clock.h"
#include "support/night_files.h"

namespace vantrel::e2e {
namespace {

using namespace std::chrono_literals;
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

TEST_F(Vantrel, StopRequestDuringADwellParks) {
  testing::IniValues ini;
  ini.dwellMinutes = 5;
  prepareNight(ini, {"--rate", "2"});
  auto vantrel = start({"--console"});
  ASSERT_TRUE(waitUntil([&] { return transcript().find("EEE") != std::string::npos; }, 30s)) << err();
  vantrel->signal(SIGTERM);
  EXPECT_EQ(exitStatus(*vantrel, 20s), 0) << "a stop request must end the night\n" << err();
  bytesBetweenGotoAndPark();
  EXPECT_THAT(records(), ElementsAre(HasSubstr("E2E "), "B4000,0000"));
  EXPECT_THAT(out(), HasSubstr("by a stop request; mount parked"));
  // Not a terminal: one status line per change of phase, no title, no \r.
  EXPECT_THAT(out(), MatchesRegex("start-up delay until [^\n]*\n[^\n]*E2E [^\n]*\n"
                                  "observing E2E target \\(row 1\\) 0:00 of 5:00 [^\n]*\n"
                                  "parking the mount [^\n]*\nB4000,0000\n[^\n]*by a stop request[^\n]*\n"));
}

// On a terminal the status is one line rewritten in place, and each title is
// printed once.
TEST_F(Vantrel, StatusLineIsRewrittenInPlaceOnATerminal) {
  testing::IniValues ini;
  ini.dwellMinutes = 5;
  prepareNight(ini, {"--rate", "2"});
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
  auto vantrel = std::make_unique<Child>(std::vector<std::string>{VANTREL_BINARY, "--console"}, dir.path,
                                         ptsname(master), dir / "err");
  ASSERT_TRUE(waitUntil([&] { return drain().find("0:02 of 5:00") != std::string::npos; }, 30s)) << terminal;
  vantrel->signal(SIGTERM);
  EXPECT_EQ(exitStatus(*vantrel, 20s), 0) << err();
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
  EXPECT_THAT(terminal, HasSubstr("by a stop request; mount parked\r\n"));
}

TEST_F(Vantrel, MountThatVanishesEndsTheProgramWithTheLogIntact) {
  testing::IniValues ini;
  ini.dwellMinutes = 5;
  prepareNight(ini, {"--rate", "2", "--vanish-after", "5"});
  EXPECT_EQ(run({"--console"}), 1);
  // After the warning that the nights never end by the clock.
  EXPECT_THAT(err(), MatchesRegex("(vantrel: warning: [^\n]*\n)*[^\n]*COM1[^\n]*\n")) << "one line naming the port";
  EXPECT_THAT(records(), ElementsAre(HasSubstr("E2E ")));
}

TEST_F(Vantrel, BadInputsExitWithTheirMessage) {
  EXPECT_EQ(run({"--console"}), 3);
  EXPECT_THAT(err(), HasSubstr("vantrel.ini: no such file"));

  testing::IniValues ini;
  ini.port = 0;
  writeFile(dir / "vantrel.ini", testing::iniText(ini));
  EXPECT_EQ(run({"--console"}), 3);
  EXPECT_THAT(err(), HasSubstr("vantrel.ini line 4: commPort 0"));

  writeFile(dir / "vantrel.ini", testing::iniText(testing::IniValues{}));
  writeFile(dir / "vantrel.adf", "M1  0531.5 +2159.0 Crab 000010000\r\nshort\r\n");
  EXPECT_EQ(run({"--console"}), 3);
  EXPECT_THAT(err(), HasSubstr("vantrel.adf line 2"));
  EXPECT_FALSE(std::filesystem::exists(dir / ("log" + today + ".txt")));
}

TEST_F(Vantrel, CommandLine) {
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_THAT(out(), HasSubstr("--rehearse"));
  EXPECT_EQ(run({"--version"}), 0);
  EXPECT_THAT(out(), HasSubstr("1.10"));
  EXPECT_EQ(run({"--bogus"}), 2);
  EXPECT_THAT(err(), HasSubstr("unknown argument '--bogus'"));
  EXPECT_EQ(run({"--rehearse", "tomorrow"}), 2);
  EXPECT_THAT(err(), HasSubstr("START must be"));
}

// --rehearse at the end of the line starts at 18:00 today; without a display
// to show it (none, or an off-screen one) no window is made that nobody
// could close: the terminal is the window.
TEST_F(Vantrel, RehearsalByDefaultAndWithoutADisplay) {
  for (const char* name : {"vantrel.ini", "vantrel.adf"}) {
    writeFile(dir / name, readFile(std::string(EXAMPLES_DIR) + "/" + name));
  }
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

TEST_F(Vantrel, RehearsalOfTheExamples) {
  for (const char* name : {"vantrel.ini", "vantrel.adf"}) {
    writeFile(dir / name, readFile(std::string(EXAMPLES_DIR) + "/" + name));
  }
  EXPECT_EQ(run({"--rehearse", "2026-12-06T18:00", "--console"}), 0) << err();
  EXPECT_THAT(out(), AllOf(HasSubstr("\nB4000,0000\n"), HasSubstr("41 of 56 targets observed; night ended "
                                                                   "2026-12-07 05:01:00 by the clock; mount parked\n")));
  EXPECT_TRUE(std::filesystem::exists(dir / "rehearsal-log2026-12-06.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "log2026-12-06.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "COM1")) << "a rehearsal opens no port";
}

}  // namespace
}  // namespace vantrel::e2e
