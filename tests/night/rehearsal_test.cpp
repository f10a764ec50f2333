// Rehearsals: whole nights on the simulated clock and mount, from files to log.
#include "night/rehearsal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "astro/koudo_keisan_1950.h"
#include "inputs/site_config.h"
#include "inputs/target_list.h"
#include "inputs/text_lines.h"
#include "platform/simulated_clock.h"
#include "platform/stop_request.h"
#include "support/memory_file_store.h"
#include "support/night_files.h"
#include "support/recording_window.h"

namespace vantrel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << "cannot read " << path;
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::int64_t civil(const char* text) { return *SimulatedClock::parseCivilTime(text); }

class Rehearsal : public ::testing::Test {
 protected:
  MemoryFileStore files;
  RecordingWindow window;

  void useExamples() {
    files.files["vantrel.ini"] = readFile(VANTREL_SOURCE_DIR "/examples/vantrel.ini");
    files.files["vantrel.adf"] = readFile(VANTREL_SOURCE_DIR "/examples/vantrel.adf");
  }
  RehearsalResult rehearse(const char* start) {
    StopRequest stop;
    return rehearseNight(civil(start), window, files, stop);
  }
  std::vector<std::string> lines(const std::string& name) {
    std::vector<std::string> out;
    std::istringstream in(files.files[name]);
    for (std::string line; std::getline(in, line);) {
      EXPECT_TRUE(!line.empty() && line.back() == '\r') << "no CR LF: " << line;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      out.push_back(line);
    }
    return out;
  }
};

// The expected log of the examples, kept as a file with a comment header.
std::string goldenLog() {
  std::istringstream in(readFile(VANTREL_SOURCE_DIR "/tests/night/golden/rehearsal-examples-2026-12-06.txt"));
  std::string log;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("#", 0) == 0) continue;
    log += line + "\r\n";
  }
  return log;
}

TEST_F(Rehearsal, ExamplesGiveTheExpectedLogTwiceInARow) {
  useExamples();
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run + 1));
    RehearsalResult result = rehearse("2026-12-06T18:00");
    EXPECT_EQ(files.files["rehearsal-log2026-12-06.txt"], goldenLog());
    EXPECT_EQ(describeRehearsal(result),
              "41 of 56 targets observed; night ended 2026-12-07 05:01:00 by the clock; mount parked");
  }
}

// An independent reading of the night: every pass computes each row with the
// plain routine, the eligible row of largest azimuth wins (the lowest row on
// a tie), and the next pass follows the dwell (the simulated mount answers at
// once, so 60 clock changes take exactly 60 seconds) or, without a choice,
// the next whole minute. The night ends at the first pass past the month's
// end hour before 06:00.
TEST_F(Rehearsal, RecordsAreWhatAnIndependentModelOfTheNightPredicts) {
  useExamples();
  rehearse("2026-12-06T18:00");
  SiteConfig config = parseSiteConfig(files.files["vantrel.ini"]);
  TargetTable table;
  parseTargetLines(splitLines(*decodeUtf8(files.files["vantrel.adf"])), config, table);

  std::vector<std::string> predicted;
  std::vector<bool> chosen(table.targetCount + 1, false);
  std::int64_t t = civil("2026-12-06T18:00:05");  // after the start-up wait of 5 seconds
  for (;;) {
    ClockReading now = civilReading(t);
    int hour = std::stoi(now.timeText.substr(0, 2));
    double v = hour + std::stoi(now.timeText.substr(3, 2)) / 60.0;
    if (hour < 6 && v > config.nightEndByMonth[std::stoi(now.dateText.substr(5, 2))]) break;
    ClockSample sample = sampleClock(now.dateText, now.timeText);
    int best = 0, count = 0;
    float bestAz = 0;
    for (int row = 1; row <= table.targetCount; ++row) {
      HorizontalPosition p = koudo_keisan_1950(table.raDeg[row], table.decDeg[row], config.siteLatitude,
                                               config.siteLongitude, sample);
      bool eligible = p.outAz > 270 && p.outAz < 352.5 && p.outAlt > config.minAltitude && !chosen[row];
      if (eligible && p.outAz > bestAz) best = row, bestAz = p.outAz, ++count;
    }
    if (best == 0) {
      t = (t / 60000 + 1) * 60000;
      continue;
    }
    chosen[best] = true;
    predicted.push_back(now.dateText + " " + now.timeText + " row " + std::to_string(best) + " count " +
                        std::to_string(count));
    t += static_cast<std::int64_t>(config.dwellMinutes * 60) * 1000;
  }

  std::vector<std::string> got;
  for (const std::string& record : lines("rehearsal-log2026-12-06.txt")) {
    if (record == "B4000,0000") continue;
    std::istringstream tail(record.substr(record.rfind(' ', record.size() - 5)));
    int row = 0, count = 0;
    tail >> row >> count;
    got.push_back(record.substr(0, 19) + " row " + std::to_string(row) + " count " + std::to_string(count));
  }
  EXPECT_EQ(got, predicted);
  EXPECT_GT(predicted.size(), 30u);
}

TEST_F(Rehearsal, EndsAtTheDeclinationLimitWithItsRecordThenThePark) {
  IniValues ini;
  ini.decLimit = 20;
  files.files["vantrel.ini"] = iniText(ini);
  double ra = raHoursAtAzimuth("2026-12-06", "18:00", 30.0, 320.0);
  files.files["vantrel.adf"] = targetLine("HIGH", ra, 30.0) + "\r\n";
  RehearsalResult result = rehearse("2026-12-06T18:00");
  auto log = lines("rehearsal-log2026-12-06.txt");
  ASSERT_EQ(log.size(), 3u);
  // 30 degrees travel as 5461 units of 1/65536 turn and come back as 29.998...
  EXPECT_EQ(log[1], "RD Limit, over : < 29.9981689453125 >");
  EXPECT_EQ(log[2], "B4000,0000");
  EXPECT_EQ(result.outcome.end, NightEnd::decLimit);
  EXPECT_THAT(describeRehearsal(result), HasSubstr("by the declination limit (the mount reported 29.9981689453125 degrees)"));
}

TEST_F(Rehearsal, ParkDisabledLeavesNoParkRecord) {
  IniValues ini;
  ini.parkEnabled = 0;
  files.files["vantrel.ini"] = iniText(ini);
  files.files["vantrel.adf"] = "";
  RehearsalResult result = rehearse("2026-12-07T04:00");
  EXPECT_TRUE(lines("rehearsal-log2026-12-07.txt").empty());
  EXPECT_EQ(describeRehearsal(result),
            "0 of 0 targets observed; night ended 2026-12-07 04:31:00 by the clock; mount not parked "
            "(parkEnabled is not 1)");
}

TEST_F(Rehearsal, AcrossMidnightAndAMonthsEndTheLogKeepsTheStartingDate) {
  useExamples();
  RehearsalResult result = rehearse("2026-12-31T23:30");
  auto log = lines("rehearsal-log2026-12-31.txt");
  ASSERT_GE(log.size(), 2u);
  EXPECT_THAT(log.back(), "B4000,0000");
  EXPECT_EQ(log[log.size() - 2].substr(0, 10), "2027-01-01") << "records after midnight stay in the file";
  EXPECT_EQ(result.outcome.endedAt.dateText, "2027-01-01");
  EXPECT_EQ(result.outcome.endedAt.timeText, "05:01:00") << "January's end hour (5) applies after midnight";
  EXPECT_FALSE(files.files.count("rehearsal-log2027-01-01.txt"));
}

TEST_F(Rehearsal, RealLogIsUntouched) {
  useExamples();
  files.files["log2026-12-06.txt"] = "what the telescope really did\r\n";
  rehearse("2026-12-06T18:00");
  EXPECT_EQ(files.files["log2026-12-06.txt"], "what the telescope really did\r\n");
  EXPECT_FALSE(files.files["rehearsal-log2026-12-06.txt"].empty());
}

TEST_F(Rehearsal, NightThatNeverEndsStopsAfterSeventyTwoHours) {
  IniValues ini;
  ini.nightEnd = std::vector<double>(12, 6.0);
  files.files["vantrel.ini"] = iniText(ini);
  files.files["vantrel.adf"] = "";
  RehearsalResult result = rehearse("2026-12-06T18:00");
  EXPECT_TRUE(result.stoppedAtLimit);
  EXPECT_EQ(result.outcome.endedAt.dateText, "2026-12-09");
  EXPECT_EQ(result.outcome.endedAt.timeText, "18:00:00");
  EXPECT_THAT(describeRehearsal(result), HasSubstr("after 72 simulated hours"));
  EXPECT_THAT(lines("rehearsal-log2026-12-06.txt"), ElementsAre("B4000,0000"));
}

}  // namespace
}  // namespace vantrel::testing
