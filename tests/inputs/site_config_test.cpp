// Reading numbers from text: the rules every numeric field of both input
// files goes through. What the files give is in the input-* scenarios.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "inputs/number_text.h"
#include "inputs/text_lines.h"

namespace vantrel {
namespace {

const std::string zeros309(309, '0'), zeros330(330, '0');

// Each row: the text, the value read, whether a number was found, and where it ends (just past its last
// character). Blanks, tabs and line feeds inside a number are skipped, a carriage return ends it; "&h" reads
// up to eight hex digits as a signed 16-bit value up to four digits, 32-bit beyond; decimals round correctly,
// also with hundreds of digits and exponents longer than any integer.
TEST(ReadNumber, ReadsAsTheRulesSay) {
  const struct { std::string text; double want; bool found; std::size_t end; } cases[] = {
      {"12", 12, true, 2}, {"  \t 7", 7, true, 5}, {"1 2\t3", 123, true, 5}, {"4\n5", 45, true, 3},
      {"4\r5", 4, true, 1}, {"- 5.5", -5.5, true, 5}, {"+3", 3, true, 2}, {".25", 0.25, true, 3}, {"5.", 5, true, 2},
      {"1.2.3", 1.2, true, 3}, {"1.5e2", 150, true, 5}, {"25E-1", 2.5, true, 5}, {"7e", 7, true, 1},
      {"7e+x", 7, true, 1}, {"12abc", 12, true, 2}, {" 12  ", 12, true, 3}, {"1 2x", 12, true, 3}, {"3,4", 3, true, 1},
      {"abc", 0, false, 0}, {"", 0, false, 0}, {"   ", 0, false, 0}, {"-", 0, false, 0}, {".", 0, false, 0},
      {"&h", 0, false, 0}, {"&hFFFF", -1, true, 6}, {"&H8000", -32768, true, 6}, {"&h7fff", 32767, true, 6},
      {" &h 0 0B6", 182, true, 9}, {"&h1G", 1, true, 3}, {"&h10000", 65536, true, 7}, {"&hFFFFFFFF", -1, true, 10},
      {"&h123456789", 0, false, 0}, {"0.1", 0.1, true, 3}, {"0.30000000000000004", 0.30000000000000004, true, 19},
      {"1e999", HUGE_VAL, true, 5}, {"-1e999", -HUGE_VAL, true, 6}, {"1e-999", 0, true, 6},
      {"-1" + zeros309, -HUGE_VAL, true, 311}, {"1" + zeros309, HUGE_VAL, true, 310},
      {"1" + zeros309 + "e-400", 1e-91, true, 315}, {"0." + zeros330 + "1e5", 0, true, 335},
      {"0." + zeros330 + "1e400", 1e69, true, 337}, {"1e99999999999999999999999", HUGE_VAL, true, 25},
      {"1e-99999999999999999999999", 0, true, 26}, {"0.0e99999999999999999999999", 0, true, 27},
  };
  for (const auto& c : cases) {
    const NumberScan got = scanNumber(std::string_view(c.text));
    EXPECT_TRUE(got.value == c.want && got.found == c.found && got.end == c.end)
        << c.text.substr(0, 40) << ": got " << got.value << (got.found ? "" : " not found") << " ending at " << got.end;
  }
  EXPECT_EQ(readNumber(std::u32string_view(U"12\u00B034")), 12) << "a non-ASCII character stops the number";
}

// Not UTF-8: a lone continuation byte, overlong forms, halves of UTF-16 surrogate pairs, beyond U+10FFFF, a
// sequence cut short.
TEST(DecodeUtf8, RefusesWhatIsNotUtf8) {
  for (const std::string bad : {"\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xE2\x88"})
    EXPECT_FALSE(decodeUtf8(bad)) << "bytes " << ::testing::PrintToString(bad);
}

}  // namespace
}  // namespace vantrel
