// The pattern form and the number item form, exact text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "obslog/log_format.h"

namespace vantrel {
namespace {

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
      {12, " 12 "},
      {60.46875, " 60.46875 "},
      {-22.5, "-22.5 "},
      {2700, " 2700 "},
      {0, " 0 "},
      {-0.0, " 0 "},
      {0.5, " 0.5 "},
      {0.1, " 0.1 "},
      {1.0 / 3, " 0.333333333333333 "},
      {-2.0 / 3, "-0.666666666666667 "},
      {0.99999999999999994, " 1 "},
      {1.5e-7, " 0.00000015 "},
      {123456789012345678.0, " 123456789012346000 "},
      {1e20, " 100000000000000000000 "},
      {-90.000000000000014, "-90 "},
      {std::numeric_limits<double>::infinity(), " inf "},
  };
  for (const auto& c : cases) EXPECT_EQ(formatNumberItem(c.value), c.want) << "value " << c.value;
}

}  // namespace
}  // namespace vantrel
