// End to end: the real vantrel binary on the real clock against
// vantrel-mountsim on a pseudo-terminal, in a scratch directory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "e2e/process.h"
#include "platform/posix_clock.h"
#include "platform/simulated_clock.h"
#include "support/night_files.h"

namespace vantrel::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// The angle field as the hand controller expects it, worked out here from
// the protocol and not with the program's own encoder.
std::string angleField(double degrees) {
  double n = std::nearbyint(degrees * 65536 / 360);
  long units = static_cast<long>(n) & 0xFFFF;
  char text[8];
  std::snprintf(text, sizeof text, "%04lX", units);
  return text;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      out.push_back("(no CR LF) " + text.substr(start));
      break;
    }
    out.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

class RealNight : public ::testing::Test {
 protected:
  ScratchDir dir;
  std::unique_ptr<Child> mountsim;
  std::unique_ptr<Child> vantrel;
  std::string today;
  double raDeg = 0, decDeg = 20;

  // A target that stands at about azimuth 320 now, declination 20.
  void writeInputs(testing::IniValues ini) {
    ClockReading now = civilReading(PosixClock::civilMs());
    today = now.dateText;
    double raHours = testing::raHoursAtAzimuth(now.dateText, now.timeText.substr(0, 5), decDeg, 320.0);
    std::string line = testing::targetLine("E2E ", raHours, decDeg);
    raDeg = (std::stod(line.substr(4, 2)) + std::stod(line.substr(6, 4)) / 60) / 24 * 360;
    // Never ends by the clock, whenever the test runs.
    ini.nightEnd = std::vector<double>(12, 5.99);
    ini.minAltitude = 0;
    writeFile(dir / "vantrel.ini", testing::iniText(ini));
    writeFile(dir / "vantrel.adf", line + "\r\n");
  }

  void startMountsim(std::vector<std::string> extra) {
    std::vector<std::string> argv = {MOUNTSIM_BINARY, "--dir", dir.path(), "--transcript", dir / "transcript.bin"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    mountsim = std::make_unique<Child>(argv, dir.path(), "", dir / "mountsim.err", true);
    ASSERT_TRUE(mountsim->waitForLine("vantrel-mountsim: COM1 -> ", 20s)) << readFile(dir / "mountsim.err");
  }

  void startVantrel() {
    vantrel = std::make_unique<Child>(std::vector<std::string>{VANTREL_BINARY, "--console"}, dir.path(),
                                      dir / "vantrel.out", dir / "vantrel.err");
  }

  std::string transcript() { return readFile(dir / "transcript.bin"); }
  std::string log() { return readFile(dir / ("log" + today + ".txt")); }

  std::string commandsToTarget() {
    std::string pass1("P\x02\x10\x24\x00\x00\x00\x00", 8);
    std::string pass2("P\x02\x11\x24\x00\x00\x00\x00", 8);
    return "R" + angleField(raDeg) + "," + angleField(decDeg) + pass1 + pass2;
  }
};

const std::string parkBytes = std::string("T\0", 2) + "B4000,0000";

TEST_F(RealNight, DeclinationLimitEndsTheNightAndParks) {
  testing::IniValues ini;
  ini.decLimit = 10;  // the target itself lies above it: still commanded
  writeInputs(ini);
  startMountsim({"--rate", "0"});
  startVantrel();
  auto status = vantrel->waitForExit(60s);
  ASSERT_TRUE(status) << "still running";
  EXPECT_EQ(*status, 0) << readFile(dir / "vantrel.err");

  std::string bytes = transcript();
  std::string head = commandsToTarget();
  ASSERT_THAT(bytes, StartsWith(head));
  std::string middle = bytes.substr(head.size(), bytes.size() - head.size() - std::min(bytes.size(), parkBytes.size()));
  EXPECT_GE(middle.size(), 1u);
  EXPECT_EQ(middle.find_first_not_of('E'), std::string::npos) << "only position queries between";
  EXPECT_EQ(bytes.substr(bytes.size() - parkBytes.size()), parkBytes);

  auto records = lines(log());
  ASSERT_EQ(records.size(), 3u) << log();
  EXPECT_THAT(records[0], StartsWith(today + " "));
  EXPECT_THAT(records[0], HasSubstr("E2E "));
  EXPECT_THAT(records[0], HasSubstr(" 1  1 "));
  // 20 degrees travel as 3641 units of 1/65536 turn.
  EXPECT_EQ(records[1], "RD Limit, over : < 20.0006103515625 >");
  EXPECT_EQ(records[2], "B4000,0000");
  EXPECT_THAT(readFile(dir / "vantrel.out"), HasSubstr("title: Vantrel v1.10 E2E "));
}

TEST_F(RealNight, StopRequestDuringADwellParks) {
  testing::IniValues ini;
  ini.dwellMinutes = 5;
  writeInputs(ini);
  startMountsim({"--rate", "2"});
  startVantrel();
  ASSERT_TRUE(waitUntil([&] { return transcript().find("EEE") != std::string::npos; }, 30s))
      << readFile(dir / "vantrel.err");
  vantrel->signal(SIGTERM);
  auto status = vantrel->waitForExit(20s);
  ASSERT_TRUE(status) << "a stop request must end the night";
  EXPECT_EQ(*status, 0) << readFile(dir / "vantrel.err");
  std::string bytes = transcript();
  EXPECT_THAT(bytes, StartsWith(commandsToTarget()));
  EXPECT_EQ(bytes.substr(bytes.size() - parkBytes.size()), parkBytes);
  auto records = lines(log());
  ASSERT_EQ(records.size(), 2u) << log();
  EXPECT_EQ(records[1], "B4000,0000");
  EXPECT_THAT(readFile(dir / "vantrel.out"), HasSubstr("by a stop request; mount parked"));
}

TEST_F(RealNight, MountThatVanishesEndsTheProgramWithTheLogIntact) {
  testing::IniValues ini;
  ini.dwellMinutes = 5;
  writeInputs(ini);
  startMountsim({"--rate", "2", "--vanish-after", "5"});
  startVantrel();
  auto status = vantrel->waitForExit(60s);
  ASSERT_TRUE(status) << "still running";
  EXPECT_EQ(*status, 1);
  std::string err = readFile(dir / "vantrel.err");
  EXPECT_THAT(err, HasSubstr("COM1"));
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "one line: " << err;
  auto records = lines(log());
  ASSERT_EQ(records.size(), 1u) << log();
  EXPECT_THAT(records[0], HasSubstr("E2E "));
}

class Program : public ::testing::Test {
 protected:
  ScratchDir dir;
  int run(std::vector<std::string> args) {
    args.insert(args.begin(), VANTREL_BINARY);
    Child child(args, dir.path(), dir / "out", dir / "err");
    auto status = child.waitForExit(60s);
    EXPECT_TRUE(status) << "still running";
    return status.value_or(-1);
  }
  std::string out() { return readFile(dir / "out"); }
  std::string err() { return readFile(dir / "err"); }
};

TEST_F(Program, BadInputsExitWithTheirMessage) {
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
  EXPECT_FALSE(std::filesystem::exists(dir / ("log" + civilReading(PosixClock::civilMs()).dateText + ".txt")));
}

TEST_F(Program, CommandLine) {
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_THAT(out(), HasSubstr("--rehearse"));
  EXPECT_EQ(run({"--version"}), 0);
  EXPECT_THAT(out(), HasSubstr("1.10"));
  EXPECT_EQ(run({"--bogus"}), 2);
  EXPECT_THAT(err(), HasSubstr("unknown argument '--bogus'"));
  EXPECT_EQ(run({"--rehearse", "tomorrow"}), 2);
  EXPECT_THAT(err(), HasSubstr("START must be"));
}

TEST_F(Program, RehearsalOfTheExamples) {
  for (const char* name : {"vantrel.ini", "vantrel.adf"}) {
    writeFile(dir / name, readFile(std::string(EXAMPLES_DIR) + "/" + name));
  }
  EXPECT_EQ(run({"--rehearse", "2026-12-06T18:00", "--console"}), 0) << err();
  std::string text = out();
  EXPECT_THAT(text, HasSubstr("41 of 56 targets observed; night ended 2026-12-07 05:01:00 by the clock; mount parked\n"));
  EXPECT_THAT(text, HasSubstr("\nB4000,0000\n"));
  EXPECT_TRUE(std::filesystem::exists(dir / "rehearsal-log2026-12-06.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "log2026-12-06.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "COM1")) << "a rehearsal opens no port";
}

}  // namespace
}  // namespace vantrel::e2e
