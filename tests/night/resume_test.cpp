// Resuming a night from its logs: which files, which records, which rows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "night/resume.h"
#include "obslog/log_format.h"
#include "support/memory_file_store.h"

namespace vantrel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

TargetTable threeRows() {
  TargetTable t;
  t.targetCount = 3;
  t.targetName[1] = "A   0100.0 +1000.0 first 000010000";
  t.targetName[2] = "B   0200.0 +2000.0 second 000010000";
  t.targetName[3] = "C   0300.0 +3000.0 third 000010000";
  return t;
}

std::string record(const std::string& dateTime, const TargetTable& t, int row) {
  return targetRecord({dateTime.substr(0, 10), dateTime.substr(11, 8), 300.0f, 45.0, 15.0 * row, 10.0 * row,
                       t.targetName[row], row, 2}) +
         "\r\n";
}

TEST(PreviousDate, AcrossMonthsYearsAndLeapDays) {
  for (auto [date, want] : {std::pair{"2026-12-07", "2026-12-06"}, {"2027-01-01", "2026-12-31"},
                            {"2024-03-01", "2024-02-29"}, {"2023-03-01", "2023-02-28"}, {"2026-05-01", "2026-04-30"}}) {
    EXPECT_EQ(previousDateText(date), want) << date;
  }
}

// Tonight began at the most recent 12:00; the logs from that noon's date to today are read.
TEST(ResumeTonight, TonightIsSinceTheMostRecentNoon) {
  const TargetTable t = threeRows();
  const std::map<std::string, std::string> logs = {
      {"log2026-12-06.txt", record("2026-12-06 11:59:59", t, 1) + record("2026-12-06 21:00:00", t, 2) +
                                record("2026-12-07 01:30:00", t, 3)},  // written on after midnight
      {"log2026-12-07.txt", record("2026-12-07 03:00:00", t, 1) + record("2026-12-07 12:00:00", t, 2) +
                                record("2026-12-07 19:00:00", t, 3)},
      {"log2026-12-31.txt", record("2026-12-31 22:00:00", t, 1)},
  };
  const struct {
    const char* what;
    ClockReading now;
    std::vector<std::string> wantFiles;
    std::vector<int> wantRows;
  } cases[] = {
      {"after midnight: yesterday from its noon, and today", {"2026-12-07", "04:00:00"},
       {"log2026-12-06.txt", "log2026-12-07.txt"}, {2, 3, 1}},
      {"just before noon: still last night", {"2026-12-07", "11:59:59"}, {"log2026-12-06.txt", "log2026-12-07.txt"},
       {2, 3, 1}},
      {"at noon a new night begins", {"2026-12-07", "12:00:00"}, {"log2026-12-07.txt"}, {2, 3}},
      {"in the evening this morning's records are last night's", {"2026-12-07", "20:00:00"}, {"log2026-12-07.txt"},
       {2, 3}},
      {"across the year", {"2027-01-01", "01:00:00"}, {"log2026-12-31.txt"}, {1}},
      {"no log of tonight", {"2026-12-09", "20:00:00"}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileStore files;
    files.files = logs;
    TargetTable targets = t;
    ResumeResult result = resumeTonight(files, c.now, targets);
    EXPECT_EQ(result.filesRead, c.wantFiles);
    EXPECT_EQ(result.observedRows, c.wantRows);
    EXPECT_THAT(result.complaints, IsEmpty());
    for (int row = 1; row <= 3; ++row) {
      bool taken = std::find(c.wantRows.begin(), c.wantRows.end(), row) != c.wantRows.end();
      EXPECT_EQ(targets.targetState[row], taken ? 1 : 0) << "row " << row;
    }
  }
}

TEST(ResumeTonight, RecordsThatMatchNoRowAreReportedNotTaken) {
  const TargetTable t = threeRows();
  TargetTable changed = t;
  changed.targetName[2] = "B   0200.0 +2000.0 moved 000010000";
  MemoryFileStore files;
  files.files["log2026-12-06.txt"] = record("2026-12-06 20:00:00", t, 1) + "RD Limit, over : < 76.5 >\r\n" +
                                     "\r\n" + record("2026-12-06 20:10:00", t, 2) + "B4000,0000\r\n" +
                                     "2026-12-06 20:20:00 AL=300.0 AZ=45.0 RA=0\r\n" +  // cut by a crash
                                     "2026-12-06 20:30:00 AL=300.0 AZ=45.0 RA=015.0 RD=010.0 Z 4  1 \r\n" +
                                     record("2026-12-06 20:40:00", t, 1);  // chosen twice: taken once
  ResumeResult result = resumeTonight(files, {"2026-12-06", "21:00:00"}, changed);
  EXPECT_THAT(result.observedRows, ElementsAre(1));
  EXPECT_EQ(changed.targetState[2], 0) << "a changed row is offered again";
  ASSERT_EQ(result.complaints.size(), 3u);
  EXPECT_THAT(result.complaints[0], HasSubstr("log2026-12-06.txt line 4: row 2 was 'B   0200.0 +2000.0 second"));
  EXPECT_THAT(result.complaints[0], HasSubstr("is now 'B   0200.0 +2000.0 moved"));
  EXPECT_THAT(result.complaints[1], HasSubstr("log2026-12-06.txt line 6: not a target record"));
  EXPECT_THAT(result.complaints[2], HasSubstr("line 7: row 4 is beyond the 3 rows of the list"));
}

TEST(ResumeTonight, SaysWhatItTookAndFromWhere) {
  EXPECT_EQ(describeResume({{"log2026-12-06.txt", "log2026-12-07.txt"}, {2, 3}, {}}, {"2026-12-07", "04:00:00"}),
            "resuming: 2 rows taken as observed from log2026-12-06.txt, log2026-12-07.txt "
            "(records since 2026-12-06 12:00:00)");
  EXPECT_EQ(describeResume({{"log2026-12-07.txt"}, {}, {}}, {"2026-12-07", "20:00:00"}),
            "resuming: 0 rows taken as observed from log2026-12-07.txt (records since 2026-12-07 12:00:00)");
  EXPECT_EQ(describeResume({}, {"2026-12-07", "04:00:00"}),
            "resuming: no log of tonight (log2026-12-06.txt or log2026-12-07.txt); every row is free");
}

}  // namespace
}  // namespace vantrel::testing
