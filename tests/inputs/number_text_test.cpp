// Reading numbers from text: the rules every numeric field goes through.
#include "inputs/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vantrel {
namespace {

const std::string zeros309(309, '0');
const std::string zeros330(330, '0');

// Each row: the text, the value read, whether a number was found, and where
// it ends (just past its last character).
TEST(ReadNumber, ReadsAsTheRulesSay) {
  const struct {
    const char* description;
    std::string text;
    double want;
    bool found;
    std::size_t end;
  } cases[] = {
      {"plain integer", "12", 12, true, 2}, {"leading blanks", "  \t 7", 7, true, 5},
      {"blanks between digits", "1 2\t3", 123, true, 5}, {"line feed is a blank", "4\n5", 45, true, 3},
      {"carriage return ends the number", "4\r5", 4, true, 1}, {"sign and blanks", "- 5.5", -5.5, true, 5},
      {"plus sign", "+3", 3, true, 2}, {"point first", ".25", 0.25, true, 3}, {"point last", "5.", 5, true, 2},
      {"second point ends it", "1.2.3", 1.2, true, 3}, {"exponent", "1.5e2", 150, true, 5},
      {"negative exponent", "25E-1", 2.5, true, 5}, {"exponent without digits is not read", "7e", 7, true, 1},
      {"exponent sign without digits", "7e+x", 7, true, 1}, {"stops at text", "12abc", 12, true, 2},
      {"trailing blanks are not part of it", " 12  ", 12, true, 3}, {"blank inside, then text", "1 2x", 12, true, 3},
      {"stops at comma", "3,4", 3, true, 1}, {"text first reads 0", "abc", 0, false, 0},
      {"empty reads 0", "", 0, false, 0}, {"only blanks", "   ", 0, false, 0}, {"sign alone", "-", 0, false, 0},
      {"point alone", ".", 0, false, 0}, {"hex without digits", "&h", 0, false, 0},
      {"hex four digits, signed", "&hFFFF", -1, true, 6}, {"hex 8000 is the lowest value", "&H8000", -32768, true, 6},
      {"hex lower case digits", "&h7fff", 32767, true, 6}, {"hex with blanks", " &h 0 0B6", 182, true, 9},
      {"hex stops at other characters", "&h1G", 1, true, 3}, {"hex five digits is 32-bit", "&h10000", 65536, true, 7},
      {"hex eight digits signed", "&hFFFFFFFF", -1, true, 10},
      {"hex nine digits is no number", "&h123456789", 0, false, 0}, {"decimal is exact", "0.1", 0.1, true, 3},
      {"many digits round correctly", "0.30000000000000004", 0.30000000000000004, true, 19},
      {"huge exponent", "1e999", HUGE_VAL, true, 5}, {"huge negative", "-1e999", -HUGE_VAL, true, 6},
      {"tiny exponent", "1e-999", 0, true, 6}, {"-1 and 309 zeros", "-1" + zeros309, -HUGE_VAL, true, 311},
      {"1 and 309 zeros overflows without an exponent", "1" + zeros309, HUGE_VAL, true, 310},
      {"1 and 309 zeros, e-400: in range", "1" + zeros309 + "e-400", 1e-91, true, 315},
      {"330 zeros after the point underflow despite e5", "0." + zeros330 + "1e5", 0, true, 335},
      {"330 zeros after the point, e400: in range", "0." + zeros330 + "1e400", 1e69, true, 337},
      {"an exponent longer than any integer", "1e99999999999999999999999", HUGE_VAL, true, 25},
      {"a negative one likewise", "1e-99999999999999999999999", 0, true, 26},
      {"zero with a huge exponent is zero", "0.0e99999999999999999999999", 0, true, 27},
  };
  for (const auto& c : cases) {
    const NumberScan got = scanNumber(std::string_view(c.text));
    EXPECT_TRUE(got.value == c.want && got.found == c.found && got.end == c.end)
        << c.description << ": want " << c.want << (c.found ? "" : " not found") << " ending at " << c.end << ", got "
        << got.value << (got.found ? "" : " not found") << " ending at " << got.end;
  }
  EXPECT_EQ(readNumber(std::u32string_view(U"12\u00B034")), 12) << "a non-ASCII character stops the number";
}

}  // namespace
}  // namespace vantrel
