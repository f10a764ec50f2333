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

const double inf = std::numeric_limits<double>::infinity();

// The example line first, then one field changed per row; each line is read back as written.
TEST(TargetRecord, WholeLinesAndReadingThemBack) {
  const struct {
    double altDeg, raDeg, decDeg;
    std::string name;
    int row, count;
    std::string want;  // after the date and time
  } cases[] = {
      {45.27, 83.63, 22.01, "T1", 12, 3, "AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "},
      {45.27, 83.63, 0.04, "T1", 12, 3, "AL=305.2 AZ=45.3 RA=083.6 RD=000.0 T1 12  3 "},
      {45.27, 83.63, -5.46, "T1", 12, 3, "AL=305.2 AZ=45.3 RA=083.6 RD=-005.5 T1 12  3 "},  // sign after RD=
      {45.27, 83.63, -0.04, "T1", 12, 3, "AL=305.2 AZ=45.3 RA=083.6 RD=-000.0 T1 12  3 "},
      {45.27, 83.63, 91.0, "T1", 12, 3, "AL=305.2 AZ=45.3 RA=083.6 RD=091.0 T1 12  3 "},
      {-5.46, -1.5, 22.01, "T1", 12, 3, "AL=305.2 -AZ=05.5 -RA=001.5 RD=022.0 T1 12  3 "},  // sign before the label
      {45.27, 83.63, 22.01, "M1 \"M 1\", 星雲 010111010", 2700, 1,
       "AL=305.2 AZ=45.3 RA=083.6 RD=022.0 M1 \"M 1\", 星雲 010111010 2700  1 "},
      {10, 1000.25, 100, "NGC 253  7 000010000", 99, 10000,
       "AL=305.2 AZ=10.0 RA=1000.3 RD=100.0 NGC 253  7 000010000 99  10000 "},
  };
  for (const auto& c : cases) {
    const std::string line =
        targetRecord({"2026-12-05", "21:30:15", 305.24f, c.altDeg, c.raDeg, c.decDeg, c.name, c.row, c.count});
    EXPECT_EQ(line, "2026-12-05 21:30:15 " + c.want);
    const std::optional<TargetRecordRead> read = readTargetRecord(line);
    ASSERT_TRUE(read) << line;
    EXPECT_TRUE(read->dateText == "2026-12-05" && read->timeText == "21:30:15" && read->targetName == c.name &&
                read->chosenRow == c.row)
        << line << ": read " << read->dateText << "|" << read->timeText << "|" << read->targetName << "|"
        << read->chosenRow;
  }
}

TEST(OtherRecords, LimitParkAndFileNameAndReadingThemBack) {
  EXPECT_EQ(decLimitRecord(60.46875), "RD Limit, over : < 60.46875 >");
  EXPECT_EQ(decLimitRecord(-0.25), "RD Limit, over : <-0.25 >");
  EXPECT_EQ(parkRecord(), "B4000,0000");
  EXPECT_EQ(logFileNameFor("2026-12-05"), "log2026-12-05.txt");
  for (const std::string line : {"B4000,0000", "RD Limit, over : < 60.46875 >", "RD Limit, over : <-0.25 >"})
    EXPECT_TRUE(isOtherLogRecord(line)) << line;
  for (const std::string line : {"B4000,0000 ", "RD Limit, over : < 76.5",
                                 "2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 "})
    EXPECT_FALSE(isOtherLogRecord(line)) << line;
}

// Rounded half away from zero on the value's decimal text of 15 digits: 0.35 is 0.34999999999999997 in binary.
TEST(PatternForm, RoundedHalfAwayFromZeroOnTheValuesDecimalText) {
  const struct {
    double value;
    const char *pattern, *want;
  } cases[] = {
      {5.0, "AZ=00.0 ", "AZ=05.0 "},   {-5.46, "AL=000.0 ", "-AL=005.5 "}, {0.35, "RA=000.0 ", "RA=000.4 "},
      {2.675, "0.00", "2.68"},         {0.0499999999999, "000.0 ", "000.0 "}, {0.25, "000.0 ", "000.3 "},
      {-0.75, "000.0 ", "-000.8 "},    {0.05, "000.0 ", "000.1 "},          {-0.04, "000.0 ", "-000.0 "},
      {-0.0, "000.0 ", "000.0 "},      {99.95, "AZ=00.0 ", "AZ=100.0 "},    {1234.56, "RA=000.0 ", "RA=1234.6 "},
      {1e20, "000.0 ", "100000000000000000000.0 "}, {std::nan(""), "AL=000.0 ", "AL=nan "}, {-inf, "000.0 ", "-inf "},
      {0.04999999999999999, "000.0 ", "000.1 "},  // a nine in the sixteenth digit rounds up first
      {305.25f, "AL=000.0 ", "AL=305.3 "},         // single precision is judged on its own value
      {270.05f, "AL=000.0 ", "AL=270.0 "},         // 270.04998779296875
  };
  for (const auto& c : cases) EXPECT_EQ(formatPattern(c.value, c.pattern), c.want) << c.value;
}

TEST(NumberItemForm, PlainDecimalWithASignPlaceAndATrailingBlank) {
  const struct {
    double value;
    const char* want;
  } cases[] = {
      {12, " 12 "}, {60.46875, " 60.46875 "}, {-22.5, "-22.5 "}, {2700, " 2700 "}, {0, " 0 "}, {-0.0, " 0 "},
      {0.5, " 0.5 "}, {0.1, " 0.1 "}, {1.0 / 3, " 0.333333333333333 "}, {-2.0 / 3, "-0.666666666666667 "},
      {0.99999999999999994, " 1 "}, {1.5e-7, " 0.00000015 "}, {123456789012345678.0, " 123456789012346000 "},
      {1e20, " 100000000000000000000 "}, {-90.000000000000014, "-90 "}, {inf, " inf "},
  };
  for (const auto& c : cases) EXPECT_EQ(formatNumberItem(c.value), c.want) << "value " << c.value;
}

// Each row damages the good line by one replacement.
TEST(ReadTargetRecord, DamagedLinesAreNoRecords) {
  const std::string good = "2026-12-05 21:30:15 AL=305.2 AZ=45.3 RA=083.6 RD=022.0 T1 12  3 ";
  const struct {
    std::string from, to;
  } cases[] = {
      {good, ""},          {"  3 ", "  3"},        {"  3 ", "  "},         {" RA=083.6 RD=022.0 T1 12  3 ", ""},
      {" T1 ", "  "},      {"12  3", "12 3"},      {" 12", " 012"},        {" 12", " 0"},
      {" 12", "-12"},      {"305.2", "05.2"},      {"305.2", "305.25"},    {"AL=", ""},
      {"AZ=", ""},         {"RA=", ""},            {"RD=", ""},            {"305.2", ""},
      {"AL=305.2 AZ=", "AZ=305.2 AL="},            {"21:30:15", "21:30"},  {"2026-12-05", "2026/12/05"},
      {good, "B4000,0000"}, {good, "RD Limit, over : < 76.5 >"}, {":15 ", ":1x "},
  };
  ASSERT_TRUE(readTargetRecord(good));
  for (const auto& c : cases) {
    std::string line = good;
    line.replace(line.find(c.from), c.from.size(), c.to);
    EXPECT_FALSE(readTargetRecord(line)) << line;
  }
}

}  // namespace
}  // namespace vantrel
