// Target records read back: whatever the writer makes is read as written,
// and a line damaged anywhere is not taken for a record.
#include <gtest/gtest.h>

#include <string>

#include "obslog/log_format.h"
#include "obslog/log_reader.h"

namespace vantrel {
namespace {

TEST(ReadTargetRecord, ReadsWhatTheWriterWrites) {
  const struct {
    const char* what;
    double altDeg, raDeg, decDeg;
    std::string name;
    int row, count;
  } cases[] = {
      {"plain", 45.27, 83.63, 22.01, "M42 0532.9 -0525.0 Orion Nebula 010111010", 12, 3},
      {"negatives before the labels and after RD=", -5.46, -1.5, -5.46, "T1  0000.0 +0000.0 x000000000", 1, 1},
      {"name ending in a number and blanks", 45.27, 400.0, 89.9, "NGC 0045.1 -2534.0 NGC 253  7 000010000", 2700, 15},
      {"name with blanks, quotes and UTF-8", 10.0, 1000.25, 100.0, "M1  0534.5 +2201.0 \"M 1\", 星雲 010111010", 99,
       10000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string line = targetRecord({"2026-12-05", "21:30:15", 305.24f, c.altDeg, c.raDeg, c.decDeg, c.name,
                                           c.row, c.count});
    std::optional<TargetRecordRead> read = readTargetRecord(line);
    ASSERT_TRUE(read) << line;
    EXPECT_EQ(read->dateText, "2026-12-05");
    EXPECT_EQ(read->timeText, "21:30:15");
    EXPECT_EQ(read->targetName, c.name);
    EXPECT_EQ(read->chosenRow, c.row);
  }
}

TEST(ReadTargetRecord, DamagedLinesAreNoRecords) {
  const std::string good = "2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 ";
  ASSERT_TRUE(readTargetRecord(good));
  const struct {
    const char* what;
    std::string line;
  } cases[] = {
      {"empty", ""},
      {"cut before the last blank", good.substr(0, good.size() - 1)},
      {"cut inside the count", "2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  "},
      {"cut inside the positions", good.substr(0, 40)},
      {"no name", "2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0  12  3 "},
      {"one blank between row and count", "2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12 3 "},
      {"row with a leading zero", "2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 012  3 "},
      {"row 0", "2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 0  3 "},
      {"negative row", "2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1-12  3 "},
      {"azimuth with two digits", "2026-12-05 21:30:15 AL=05.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {"two decimals", "2026-12-05 21:30:15 AL=305.25 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {"labels swapped", "2026-12-05 21:30:15 AZ=305.2 AL=45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {"time without seconds", "2026-12-05 21:30 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {"date with slashes", "2026/12/05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {"the park record", "B4000,0000"},
      {"the limit record", "RD Limit, over : < 76.5 >"},
  };
  for (const auto& c : cases) EXPECT_FALSE(readTargetRecord(c.line)) << c.what << ": " << c.line;
}

TEST(OtherLogRecords, LimitAndParkOnly) {
  EXPECT_TRUE(isOtherLogRecord(parkRecord()));
  EXPECT_TRUE(isOtherLogRecord(decLimitRecord(60.46875)));
  EXPECT_TRUE(isOtherLogRecord(decLimitRecord(-0.25)));
  EXPECT_FALSE(isOtherLogRecord("B4000,0000 "));
  EXPECT_FALSE(isOtherLogRecord("RD Limit, over : < 76.5"));
  EXPECT_FALSE(isOtherLogRecord("2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "));
}

}  // namespace
}  // namespace vantrel
