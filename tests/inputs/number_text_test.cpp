// Reading numbers from text: the rules every numeric field goes through.
#include "inputs/number_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vantrel {
namespace {

struct NumberCase {
  const char* description;
  const char* text;
  double want;
  bool found;
};

class ReadNumberTable : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadNumberTable, ReadsAsTheRulesSay) {
  const NumberCase& c = GetParam();
  NumberScan got = scanNumber(std::string_view(c.text));
  EXPECT_EQ(got.value, c.want) << c.description << ": text \"" << c.text << "\"";
  EXPECT_EQ(got.found, c.found) << c.description;
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, ReadNumberTable,
    ::testing::Values(NumberCase{"plain integer", "12", 12, true},
                      NumberCase{"leading blanks", "  \t 7", 7, true},
                      NumberCase{"blanks between digits", "1 2\t3", 123, true},
                      NumberCase{"line feed is a blank", "4\n5", 45, true},
                      NumberCase{"carriage return ends the number", "4\r5", 4, true},
                      NumberCase{"sign and blanks", "- 5.5", -5.5, true},
                      NumberCase{"plus sign", "+3", 3, true},
                      NumberCase{"point first", ".25", 0.25, true},
                      NumberCase{"point last", "5.", 5, true},
                      NumberCase{"second point ends it", "1.2.3", 1.2, true},
                      NumberCase{"exponent", "1.5e2", 150, true},
                      NumberCase{"negative exponent", "25E-1", 2.5, true},
                      NumberCase{"exponent without digits is not read", "7e", 7, true},
                      NumberCase{"exponent sign without digits", "7e+x", 7, true},
                      NumberCase{"stops at text", "12abc", 12, true},
                      NumberCase{"stops at comma", "3,4", 3, true},
                      NumberCase{"text first reads 0", "abc", 0, false},
                      NumberCase{"empty reads 0", "", 0, false},
                      NumberCase{"only blanks", "   ", 0, false},
                      NumberCase{"sign alone", "-", 0, false},
                      NumberCase{"point alone", ".", 0, false},
                      NumberCase{"hex four digits, signed", "&hFFFF", -1, true},
                      NumberCase{"hex 8000 is the lowest value", "&H8000", -32768, true},
                      NumberCase{"hex lower case digits", "&h7fff", 32767, true},
                      NumberCase{"hex with blanks", " &h 0 0B6", 182, true},
                      NumberCase{"hex stops at other characters", "&h1G", 1, true},
                      NumberCase{"hex five digits is 32-bit", "&h10000", 65536, true},
                      NumberCase{"hex eight digits signed", "&hFFFFFFFF", -1, true},
                      NumberCase{"hex nine digits is no number", "&h123456789", 0, false},
                      NumberCase{"hex without digits", "&h", 0, false},
                      NumberCase{"decimal is exact", "0.1", 0.1, true},
                      NumberCase{"many digits round correctly", "0.30000000000000004", 0.30000000000000004,
                                 true}));

TEST(ReadNumber, EndPointsJustPastTheNumber) {
  EXPECT_EQ(scanNumber(std::string_view(" 12  ")).end, 3u);
  EXPECT_EQ(scanNumber(std::string_view("1 2x")).end, 3u);
  EXPECT_EQ(scanNumber(std::string_view("7e")).end, 1u) << "an unfinished exponent is not part of it";
  EXPECT_EQ(scanNumber(std::string_view("7e-2")).end, 4u);
}

TEST(ReadNumber, HugeAndTinyExponents) {
  EXPECT_TRUE(std::isinf(readNumber(std::string_view("1e999"))));
  EXPECT_LT(readNumber(std::string_view("-1e999")), 0);
  EXPECT_EQ(readNumber(std::string_view("1e-999")), 0.0);
}

TEST(ReadNumber, CountsCharactersNotBytes) {
  // A non-ASCII character stops the number like any other text.
  std::u32string text = U"12\u00B034";
  EXPECT_EQ(readNumber(std::u32string_view(text)), 12);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(roundHalfEven(2.5), 2);
  EXPECT_EQ(roundHalfEven(3.5), 4);
  EXPECT_EQ(roundHalfEven(-0.5), 0);
  EXPECT_EQ(roundHalfEven(-1.5), -2);
  EXPECT_EQ(roundHalfEven(2.5000000000000004), 3);
}

}  // namespace
}  // namespace vantrel
