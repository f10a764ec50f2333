// Reading numbers from text: the rules every numeric field goes through.
#include "inputs/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace vantrel {
namespace {

struct NumberCase {
  const char* description;
  const char* text;
  double want;
  bool found;
};

const NumberCase numberCases[] = {
    {"plain integer", "12", 12, true}, {"leading blanks", "  \t 7", 7, true},
    {"blanks between digits", "1 2\t3", 123, true}, {"line feed is a blank", "4\n5", 45, true},
    {"carriage return ends the number", "4\r5", 4, true}, {"sign and blanks", "- 5.5", -5.5, true},
    {"plus sign", "+3", 3, true}, {"point first", ".25", 0.25, true}, {"point last", "5.", 5, true},
    {"second point ends it", "1.2.3", 1.2, true}, {"exponent", "1.5e2", 150, true},
    {"negative exponent", "25E-1", 2.5, true}, {"exponent without digits is not read", "7e", 7, true},
    {"exponent sign without digits", "7e+x", 7, true}, {"stops at text", "12abc", 12, true},
    {"stops at comma", "3,4", 3, true}, {"text first reads 0", "abc", 0, false}, {"empty reads 0", "", 0, false},
    {"only blanks", "   ", 0, false}, {"sign alone", "-", 0, false}, {"point alone", ".", 0, false},
    {"hex four digits, signed", "&hFFFF", -1, true}, {"hex 8000 is the lowest value", "&H8000", -32768, true},
    {"hex lower case digits", "&h7fff", 32767, true}, {"hex with blanks", " &h 0 0B6", 182, true},
    {"hex stops at other characters", "&h1G", 1, true}, {"hex five digits is 32-bit", "&h10000", 65536, true},
    {"hex eight digits signed", "&hFFFFFFFF", -1, true}, {"hex nine digits is no number", "&h123456789", 0, false},
    {"hex without digits", "&h", 0, false}, {"decimal is exact", "0.1", 0.1, true},
    {"many digits round correctly", "0.30000000000000004", 0.30000000000000004, true},
    {"huge exponent", "1e999", HUGE_VAL, true}, {"huge negative", "-1e999", -HUGE_VAL, true},
    {"tiny exponent", "1e-999", 0, true},
};

class ReadNumberTable : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadNumberTable, ReadsAsTheRulesSay) {
  const NumberCase& c = GetParam();
  const NumberScan got = scanNumber(std::string_view(c.text));
  EXPECT_TRUE(got.value == c.want && got.found == c.found)
      << c.description << ": text \"" << c.text << "\" want " << c.want << (c.found ? "" : " not found")
      << ", got " << got.value << (got.found ? "" : " not found");
}

INSTANTIATE_TEST_SUITE_P(Numbers, ReadNumberTable, ::testing::ValuesIn(numberCases));

TEST(ReadNumber, EndPointsJustPastTheNumber) {
  EXPECT_EQ(scanNumber(std::string_view(" 12  ")).end, 3u);
  EXPECT_EQ(scanNumber(std::string_view("1 2x")).end, 3u);
  EXPECT_EQ(scanNumber(std::string_view("7e")).end, 1u) << "an unfinished exponent is not part of it";
  EXPECT_EQ(scanNumber(std::string_view("7e-2")).end, 4u);
  // A non-ASCII character stops the number like any other text.
  EXPECT_EQ(readNumber(std::u32string_view(U"12\u00B034")), 12);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  const std::pair<double, double> cases[] = {{2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {2.5000000000000004, 3}};
  for (const auto& [value, want] : cases) EXPECT_EQ(roundHalfEven(value), want) << value;
}

}  // namespace
}  // namespace vantrel
