// The fault matrix: the real binary against vantrel-mountsim, each fault of
// the line, the user, the disk and the inputs, each bounded in time. Every
// one ends with the mount parked where the line still works, or explained.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>

#include "e2e/vantrel_fixture.h"

namespace vantrel::e2e {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// One stop request by each signal, in the start-up wait or in a dwell, ends
// the night through the park (a second one in the park: the scenarios).
struct SignalCase {
  int signal;
  const char* where;  // "start-up wait", "dwell"
};

void PrintTo(const SignalCase& c, std::ostream* out) { *out << strsignal(c.signal) << " in the " << c.where; }

class StopSignal : public Vantrel, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(StopSignal, EndsTheNightThroughThePark) {
  const SignalCase& c = GetParam();
  const std::string where = c.where;
  testing::IniValues ini;
  ini.dwellMinutes = 5;
  ini.startDelaySeconds = where == "start-up wait" ? 600 : 0;
  prepareNight(ini, {"--rate", "2"});
  auto vantrel = start({"--console"});
  if (where == "start-up wait") {
    ASSERT_TRUE(waitUntil([&] { return holds(out(), "start-up"); }, 20s)) << err();
  } else {
    ASSERT_TRUE(inTheDwell()) << err();
  }
  vantrel->signal(c.signal);
  EXPECT_EQ(exitStatus(*vantrel, 20s), 0) << err();
  EXPECT_THAT(transcriptWithPark(), EndsWith(parkBytes));
  EXPECT_THAT(out(), HasSubstr("by a stop request; park command sent, acknowledged\n"));
  if (where == "dwell") {
    // Not a terminal: one status line per change of phase, no title, no \r.
    EXPECT_THAT(out(), MatchesRegex("start-up delay until [^\n]*\n[^\n]*E2E [^\n]*\n"
                                    "observing E2E target \\(row 1\\) 0:00 of 5:00 [^\n]*\n"
                                    "parking the mount [^\n]*\nB4000,0000\n[^\n]*by a stop request[^\n]*\n"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, StopSignal,
    ::testing::Values(SignalCase{SIGTERM, "start-up wait"}, SignalCase{SIGINT, "start-up wait"},
                      SignalCase{SIGHUP, "start-up wait"}, SignalCase{SIGTERM, "dwell"}, SignalCase{SIGINT, "dwell"},
                      SignalCase{SIGHUP, "dwell"}),
    [](const ::testing::TestParamInfo<SignalCase>& info) {
      std::string where = info.param.where;
      where.erase(std::remove_if(where.begin(), where.end(), [](char ch) { return !std::isalnum(ch); }), where.end());
      return std::string(sigabbrev_np(info.param.signal)) + "_in_" + where;
    });

// A disk that fills up under the log: the file size limit fails the write
// part of the way into the record exactly as a full disk does (a short
// write, then an error), without needing a small file system mounted.
TEST_F(Vantrel, FullDiskKeepsOnlyWholeRecordsAndStillParks) {
  prepareDwell();
  // The limit holds for every file the program writes; the earlier records
  // make the log far longer than what goes to standard output and error.
  std::string earlier;
  for (int i = 0; i < 100; ++i) earlier += "an earlier record of the day, " + std::to_string(i) + "\r\n";
  writeFile(logPath(), earlier);
  auto vantrel = start({"--console"}, [size = earlier.size()] {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{size + 40, size + 40};
    setrlimit(RLIMIT_FSIZE, &limit);
  });
  EXPECT_EQ(exitStatus(*vantrel, 20s), 1);
  EXPECT_THAT(err(), EndsWith(": cannot write: File too large; park command sent, acknowledged\n"));
  EXPECT_EQ(log(), earlier) << "the torn record is cut off";
  EXPECT_EQ(transcriptWithPark(), "E" + parkBytes) << "the line check, then no goto before its record is on disk";
}

// Input the night refuses ends the program at once with status 3 and says
// why: no log, nothing sent to the mount.
TEST_F(Vantrel, BadInputsAreRefusedAtOnce) {
  auto refused = [&](const std::string& message) {
    EXPECT_EQ(run({"--console"}, 20s), 3) << message;
    EXPECT_THAT(err(), HasSubstr(message));
  };
  testing::IniValues hugeGrid, port0;
  hugeGrid.gridStep = 1e304;
  port0.port = 0;
  prepareNight(hugeGrid, {});
  std::string line = readFile(dir / "vantrel.adf");
  writeFile(dir / "vantrel.adf", line.replace(line.size() - 11, 9, "010111010"));
  refused("vantrel.adf line 1: a neighbour pointing's right ascension 1e+304 degrees cannot be sent to the mount "
          "(it comes from raOffset 0 and gridStep 1e+304 in vantrel.ini)\n");

  std::filesystem::remove(dir / "vantrel.ini");
  refused("vantrel.ini: no such file");
  writeNight(port0, line);
  refused("vantrel.ini line 4: commPort 0");
  writeNight({}, "M1  0531.5 +2159.0 Crab 000010000\r\nshort\r\n");
  refused("vantrel.adf line 2");

  // Files that cannot be read.
  std::filesystem::remove(dir / "vantrel.ini");
  ASSERT_EQ(mkfifo((dir / "vantrel.ini").c_str(), 0644), 0);
  writeFile(dir / "vantrel.adf", "M1  0534.5 +2201.0 crab 000000000\r\n");
  refused("vantrel.ini: not a regular file but a FIFO");
  std::filesystem::remove(dir / "vantrel.ini");
  writeFile(dir / "vantrel.ini", testing::iniText({}));
  std::filesystem::remove(dir / "vantrel.adf");
  std::filesystem::create_directory(dir / "vantrel.adf");
  refused("vantrel.adf: not a regular file but a directory");
  std::filesystem::remove(dir / "vantrel.adf");
  std::filesystem::create_symlink("/dev/zero", dir / "vantrel.adf");
  refused("vantrel.adf: not a regular file but a character device");
  std::filesystem::remove(dir / "vantrel.adf");
  std::filesystem::create_symlink(dir / "vantrel.adf", dir / "vantrel.adf");
  refused("vantrel.adf: cannot open: Too many levels of symbolic links");

  EXPECT_FALSE(std::filesystem::exists(logPath()));
  EXPECT_EQ(transcript(), "") << "nothing sent to the mount";
}

}  // namespace
}  // namespace vantrel::e2e
