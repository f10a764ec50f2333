// Resuming a night from its logs: which files, which records, which rows.
// Whole restarts are tests/scenarios/night-restart-*.night.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "night/resume.h"
#include "obslog/log_format.h"
#include "platform/posix_file_store.h"
#include "platform/stop_request.h"
#include "support/memory_file_store.h"

namespace vantrel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string stars(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "\xE6\x98\x9F";  // a star, 3 bytes of UTF-8
  return text;
}

TargetTable threeRows() {
  TargetTable t;
  t.targetCount = 3;
  t.targetName[1] = "A   0100.0 +1000.0 first 000010000";
  t.targetName[2] = "B   0200.0 +2000.0 second 000010000";
  t.targetName[3] = "C   0300.0 +3000.0 third 000010000";
  return t;
}

std::string record(const std::string& dateTime, int row) {
  return targetRecord({dateTime.substr(0, 10), dateTime.substr(11, 8), 300.0f, 45.0, 15.0 * row, 10.0 * row,
                       threeRows().targetName[row], row, 2}) + "\r\n";
}

TEST(PreviousDate, AcrossMonthsYearsAndLeapDays) {
  for (auto [date, want] : {std::pair{"2026-12-07", "2026-12-06"}, {"2027-01-01", "2026-12-31"},
                            {"2024-03-01", "2024-02-29"}, {"2023-03-01", "2023-02-28"}, {"2026-05-01", "2026-04-30"}})
    EXPECT_EQ(previousDateText(date), want) << date;
}

// Tonight began at the most recent 12:00; the logs from that noon's date to today are read.
TEST(ResumeTonight, TonightIsSinceTheMostRecentNoon) {
  MemoryFileStore files;
  files.files = {
      {"log2026-12-06.txt", record("2026-12-06 11:59:59", 1) + record("2026-12-06 21:00:00", 2) +
                                record("2026-12-07 01:30:00", 3)},  // written on after midnight
      {"log2026-12-07.txt", record("2026-12-07 03:00:00", 1) + record("2026-12-07 12:00:00", 2) +
                                record("2026-12-07 19:00:00", 3)},
      {"log2026-12-31.txt", record("2026-12-31 22:00:00", 1)}};
  const struct {
    ClockReading now;
    std::vector<std::string> wantFiles;
    std::vector<int> wantRows;
  } rows[] = {
      {{"2026-12-07", "11:59:59"}, {"log2026-12-06.txt", "log2026-12-07.txt"}, {2, 3, 1}},
      {{"2026-12-07", "12:00:00"}, {"log2026-12-07.txt"}, {2, 3}},
      {{"2027-01-01", "01:00:00"}, {"log2026-12-31.txt"}, {1}},
      {{"2026-12-09", "20:00:00"}, {}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.now.dateText + " " + row.now.timeText);
    TargetTable targets = threeRows();
    ResumeResult result = resumeTonight(files, row.now, targets);
    EXPECT_EQ(result.filesRead, row.wantFiles);
    EXPECT_EQ(result.observedRows, row.wantRows);
    EXPECT_TRUE(result.complaints.empty());
    for (int r = 1; r <= 3; ++r)
      EXPECT_EQ(targets.targetState[r], std::count(row.wantRows.begin(), row.wantRows.end(), r)) << "row " << r;
  }
}

// A store that hands its files over one byte at a time: a line end split
// between two pieces is still a line end.
struct BytewiseStore : MemoryFileStore {
  bool readPieces(const std::string& name, const std::function<bool(std::string_view)>& take) override {
    std::optional<std::string> all = readAll(name);
    for (std::size_t i = 0; all && i < all->size() && take(std::string_view(*all).substr(i, 1)); ++i) {
    }
    return all.has_value();
  }
};

// A log damaged from end to end, handed over a byte at a time: the lines not
// taken are counted, five are told, the records among them still count; a
// stop request ends the reading. A damaged log as a night meets it is
// tests/scenarios/night-resume-from-a-damaged-log.night.
TEST(ResumeTonight, AFloodOfDamageIsCountedNotToldAndAStopEndsTheReading) {
  TargetTable targets = threeRows();
  targets.targetName[3] = "C" + std::string(19, ' ') + stars(30);
  BytewiseStore files;
  std::string& log = files.files["log2026-12-06.txt"];
  log = record("2026-12-06 20:00:00", 3);
  for (int i = 0; i < 1000; ++i) log += "\x01garbage " + std::to_string(i) + "\r\n";
  log += std::string(maxLogLineBytes + 1, 'x') + "\r\n" + record("2026-12-06 21:00:00", 2);
  ResumeResult result = resumeTonight(files, {"2026-12-06", "22:00:00"}, targets);
  EXPECT_THAT(result.observedRows, ElementsAre(2));
  EXPECT_EQ(result.linesNotTaken, 1002u);
  ASSERT_EQ(result.complaints.size(), 6u);
  EXPECT_EQ(result.complaints[0], "log2026-12-06.txt line 1: row 3 was 'C   0300.0 +3000.0 third 000010000' but is now "
                                  "'C                   " + stars(13) + "...', not taken")
      << "cut between whole characters";
  EXPECT_EQ(result.complaints[4], "log2026-12-06.txt line 5: not a target record, skipped: '\x01garbage 3'");
  EXPECT_EQ(result.complaints[5], "1002 lines not taken in all; the first 5 are shown");

  StopRequest stop;
  stop.raise();
  TargetTable again = threeRows();
  result = resumeTonight(files, {"2026-12-06", "22:00:00"}, again, &stop);
  EXPECT_THAT(result.observedRows, ElementsAre(3)) << "the first line only";
  EXPECT_EQ(result.linesNotTaken, 0u);
  EXPECT_EQ(describeResume(result, {"2026-12-06", "22:00:00"}),
            "resuming: a stop request ended the reading of the logs; 1 row taken as observed until then");
}

TEST(ResumeTonight, SaysWhatItTookAndFromWhere) {
  const struct {
    ResumeResult result;
    ClockReading now;
    const char* says;
  } rows[] = {
      {{{"log2026-12-06.txt", "log2026-12-07.txt"}, {2, 3}, {}}, {"2026-12-07", "04:00:00"},
       "resuming: 2 rows taken as observed from log2026-12-06.txt, log2026-12-07.txt "
       "(records since 2026-12-06 12:00:00)"},
      {{}, {"2026-12-07", "04:00:00"},
       "resuming: no log of tonight (log2026-12-06.txt or log2026-12-07.txt); every row is free"},
      // A log that is there but cannot be read is never "no log".
      {{{}, {}, {}, 0, {"log2026-12-07.txt"}}, {"2026-12-07", "20:00:00"},
       "resuming: cannot read log2026-12-07.txt; every row is free"},
      {{{"log2026-12-06.txt"}, {1}, {}, 0, {"log2026-12-07.txt"}}, {"2026-12-07", "04:00:00"},
       "resuming: 1 row taken as observed from log2026-12-06.txt (records since 2026-12-06 12:00:00); "
       "cannot read log2026-12-07.txt"},
  };
  for (const auto& row : rows) EXPECT_EQ(describeResume(row.result, row.now), row.says);
}

// A log of many nights may be larger than any input file: it is read through.
TEST(ResumeTonight, ALogLargerThanAnInputFileIsReadThrough) {
  std::string dir = (std::filesystem::temp_directory_path() / "vantrel-resume-XXXXXX").string();
  ASSERT_TRUE(mkdtemp(dir.data()));
  const std::string path = dir + "/log2026-12-06.txt";
  std::ofstream(path, std::ios::binary) << record("2026-12-06 20:00:00", 1);
  std::filesystem::resize_file(path, FileStore::maxReadBytes + 10);  // a hole: one long line of NULs
  std::ofstream(path, std::ios::binary | std::ios::app) << "\r\n" + record("2026-12-06 21:00:00", 2);
  PosixFileStore files(dir);
  TargetTable targets = threeRows();
  ResumeResult result = resumeTonight(files, {"2026-12-06", "22:00:00"}, targets);
  std::filesystem::remove_all(dir);
  EXPECT_THAT(result.observedRows, ElementsAre(1, 2));
  EXPECT_THAT(result.complaints,
              ElementsAre("log2026-12-06.txt line 2: longer than 65536 bytes, not a target record, skipped"));
}

}  // namespace
}  // namespace vantrel::testing
