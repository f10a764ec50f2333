// The records of the observation log: written byte for byte, in the pattern
// and number item forms, and read back, where a damaged line is no record.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "obslog/log_format.h"
#include "obslog/log_reader.h"

namespace vantrel {
namespace {

// The example line first, then one field changed per row.
TEST(TargetRecord, WholeLines) {
  const std::string name = "M1  0534.5 +2201.0 Orion, \"M 42\" 星雲 010111010";
  const struct {
    const char* what;
    double altDeg, raDeg, decDeg;
    std::string targetName;
    int chosenRow, candidateCount;
    std::string want;
  } cases[] = {
      {"the example", 45.27, 83.63, 22.01, "T1", 12, 3, "AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {"declination 0.04", 45.27, 83.63, 0.04, "T1", 12, 3, "AL=305.2 AZ=45.3 RA=083.6 RD=000.0 T1 12  3 "},
      {"declination -5.46: sign after RD=", 45.27, 83.63, -5.46, "T1", 12, 3,
       "AL=305.2 AZ=45.3 RA=083.6 RD=-005.5 T1 12  3 "},
      {"declination -0.04 keeps its sign", 45.27, 83.63, -0.04, "T1", 12, 3,
       "AL=305.2 AZ=45.3 RA=083.6 RD=-000.0 T1 12  3 "},
      {"declination above 90", 45.27, 83.63, 91.0, "T1", 12, 3, "AL=305.2 AZ=45.3 RA=083.6 RD=091.0 T1 12  3 "},
      {"other negatives: sign before the label", -5.46, -1.5, 22.01, "T1", 12, 3,
       "AL=305.2 -AZ=05.5 -RA=001.5 RD=022.0 T1 12  3 "},
      {"names unchanged, row 2700", 45.27, 83.63, 22.01, name, 2700, 1,
       "AL=305.2 AZ=45.3 RA=083.6 RD=022.0 " + name + " 2700  1 "},
  };
  for (const auto& c : cases) {
    TargetRecordFields f{"2026-12-05", "21:30:15", 305.24f, c.altDeg, c.raDeg, c.decDeg, c.targetName,
                         c.chosenRow, c.candidateCount};
    EXPECT_EQ(targetRecord(f), "2026-12-05 21:30:15 " + c.want) << c.what;
  }
}

TEST(OtherRecords, LimitParkAndFileNameAndReadingThemBack) {
  EXPECT_EQ(decLimitRecord(60.46875), "RD Limit, over : < 60.46875 >");
  EXPECT_EQ(decLimitRecord(-0.25), "RD Limit, over : <-0.25 >");
  EXPECT_EQ(parkRecord(), "B4000,0000");
  EXPECT_EQ(logFileNameFor("2026-12-05"), "log2026-12-05.txt");
  // Read back: these two records, and nothing like them.
  EXPECT_TRUE(isOtherLogRecord(parkRecord()));
  EXPECT_TRUE(isOtherLogRecord(decLimitRecord(60.46875)));
  EXPECT_TRUE(isOtherLogRecord(decLimitRecord(-0.25)));
  EXPECT_FALSE(isOtherLogRecord("B4000,0000 "));
  EXPECT_FALSE(isOtherLogRecord("RD Limit, over : < 76.5"));
  EXPECT_FALSE(isOtherLogRecord("2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "));
}

TEST(PatternForm, RoundedHalfAwayFromZeroOnTheValuesDecimalText) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* what;
    double value;
    const char* pattern;
    const char* want;
  } cases[] = {
      {"azimuth", 305.24, "AL=000.0 ", "AL=305.2 "},
      {"two integer digits padded", 5.0, "AZ=00.0 ", "AZ=05.0 "},
      {"negative: sign before the whole text", -5.46, "000.0 ", "-005.5 "},
      {"negative: sign before the letters", -5.46, "AL=000.0 ", "-AL=005.5 "},
      {"0.35 is 0.34999999999999997 in binary, 0.350000000000000 in 15 digits", 0.35, "RA=000.0 ", "RA=000.4 "},
      {"2.675 likewise, to two decimals", 2.675, "0.00", "2.68"},
      {"a nine in the sixteenth digit rounds up first", 0.04999999999999999, "000.0 ", "000.1 "},
      {"thirteen nines stay below the half", 0.0499999999999, "000.0 ", "000.0 "},
      {"an exact binary half", 0.25, "000.0 ", "000.3 "},
      {"an exact negative binary half", -0.75, "000.0 ", "-000.8 "},
      {"small", 0.04, "000.0 ", "000.0 "},
      {"a half just below the first digit", 0.05, "000.0 ", "000.1 "},
      {"negative rounding to zero keeps its sign", -0.04, "000.0 ", "-000.0 "},
      {"negative zero is not negative", -0.0, "000.0 ", "000.0 "},
      {"carry into a new integer digit", 99.95, "AZ=00.0 ", "AZ=100.0 "},
      {"carry through every digit", 999.95, "000.0 ", "1000.0 "},
      {"more digits than the pattern asks for", 1234.56, "RA=000.0 ", "RA=1234.6 "},
      {"far beyond 15 digits, no exponent", 1e20, "000.0 ", "100000000000000000000.0 "},
      {"not a number", std::nan(""), "AL=000.0 ", "AL=nan "},
      {"negative infinity", -inf, "000.0 ", "-inf "},
      // Single-precision azimuths are judged on their own value.
      {"float x.25, exact: away from zero, not to even", 305.25f, "AL=000.0 ", "AL=305.3 "},
      {"float x.75, exact", 270.75f, "AL=000.0 ", "AL=270.8 "},
      {"float 305.24 is 305.239990234375", 305.24f, "AL=000.0 ", "AL=305.2 "},
      {"float 305.35 is 305.350006103515625", 305.35f, "AL=000.0 ", "AL=305.4 "},
      {"float 270.05 is 270.04998779296875: below the half as held", 270.05f, "AL=000.0 ", "AL=270.0 "},
  };
  for (const auto& c : cases) EXPECT_EQ(formatPattern(c.value, c.pattern), c.want) << c.what;
}

TEST(NumberItemForm, PlainDecimalWithASignPlaceAndATrailingBlank) {
  const struct {
    double value;
    const char* want;
  } cases[] = {
      {12, " 12 "}, {60.46875, " 60.46875 "}, {-22.5, "-22.5 "}, {2700, " 2700 "}, {0, " 0 "}, {-0.0, " 0 "},
      {0.5, " 0.5 "}, {0.1, " 0.1 "}, {1.0 / 3, " 0.333333333333333 "}, {-2.0 / 3, "-0.666666666666667 "},
      {0.99999999999999994, " 1 "}, {1.5e-7, " 0.00000015 "}, {123456789012345678.0, " 123456789012346000 "},
      {1e20, " 100000000000000000000 "}, {-90.000000000000014, "-90 "},
      {std::numeric_limits<double>::infinity(), " inf "},
  };
  for (const auto& c : cases) EXPECT_EQ(formatNumberItem(c.value), c.want) << "value " << c.value;
}

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
      {"no AL= label", "2026-12-05 21:30:15 305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {"no AZ= label", "2026-12-05 21:30:15 AL=305.2 45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {"no RA= label", "2026-12-05 21:30:15 AL=305.2 AZ=45.3 083.6 RD=022.0 T1 12  3 "},
      {"no RD= label", "2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 022.0 T1 12  3 "},
      {"a label without its value", "2026-12-05 21:30:15 AL= AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {"labels swapped", "2026-12-05 21:30:15 AZ=305.2 AL=45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {"time without seconds", "2026-12-05 21:30 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {"date with slashes", "2026/12/05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {"the park record", "B4000,0000"},
      {"the limit record", "RD Limit, over : < 76.5 >"},
  };
  for (const auto& c : cases) EXPECT_FALSE(readTargetRecord(c.line)) << c.what << ": " << c.line;
}

}  // namespace
}  // namespace vantrel
