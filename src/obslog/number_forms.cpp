// number_forms.cpp - the two ways the log writes a number.
//
// Both forms start from the same text: the magnitude written with 15
// significant digits (correctly rounded from the binary value, as "%.15g"
// would, but without the locale: the window library sets one, and a decimal
// comma must never reach the log). Everything after that is done on decimal
// digits, never in binary:
// 1) Pattern form: rounded to the pattern's decimals, a digit 5 or more going
//    away from zero. 0.35 is held as 0.34999999999999997, its 15-digit text
//    is 0.350000000000000, so it is written 0.4 as the observer expects; an
//    azimuth of exactly 305.25 is written 305.3, not rounded to even.
// 2) Number item form: the 15 digits without trailing zeros, in plain
//    decimal, however large or small the value (no exponent).
// The sign is decided on the value itself: every value below zero gets its
// "-", also when it rounds to zero; -0.0 is not below zero and gets none.
// Values that are not finite are written "nan" or "inf"; the positions never
// produce them, but a record must still come out whole.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "obslog/log_format.h"

namespace vantrel {
namespace {

constexpr int significantDigits = 15;

// magnitude = digits[0].digits[1..] x 10^exponent; digits has 15 characters.
struct DecimalText {
  std::string digits;
  int exponent = 0;
};

DecimalText decimalText(double magnitude) {
  char buffer[40];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific,
                              significantDigits - 1);
  std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));  // "d.ddd...e+XX"
  DecimalText out;
  out.digits += text[0];
  std::size_t e = text.find('e');
  out.digits += text.substr(2, e - 2);
  std::string_view exponent = text.substr(e + 1);
  bool negative = exponent.front() == '-';
  exponent.remove_prefix(1);  // to_chars always writes the exponent's sign
  std::from_chars(exponent.data(), exponent.data() + exponent.size(), out.exponent);
  if (negative) out.exponent = -out.exponent;
  return out;
}

// Adds one unit in the last place of a string of decimal digits.
void incrementDigits(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return;
    }
    *it = '0';
  }
  digits.insert(digits.begin(), '1');
}

// The magnitude rounded to `decimals` places, half away from zero, as the
// digits of magnitude x 10^decimals without leading zeros ("0" for zero).
std::string roundedScaledDigits(double magnitude, int decimals) {
  DecimalText text = decimalText(magnitude);
  int keep = text.exponent + 1 + decimals;  // digits in front of the cut
  std::string scaled;
  if (keep <= 0) {
    scaled = (keep == 0 && text.digits[0] >= '5') ? "1" : "0";
  } else if (keep >= significantDigits) {
    scaled = text.digits + std::string(static_cast<std::size_t>(keep - significantDigits), '0');
  } else {
    scaled = text.digits.substr(0, static_cast<std::size_t>(keep));
    if (text.digits[static_cast<std::size_t>(keep)] >= '5') incrementDigits(scaled);
  }
  std::size_t firstNonZero = std::min(scaled.find_first_not_of('0'), scaled.size() - 1);
  return scaled.substr(firstNonZero);
}

std::string plainDecimal(double magnitude) {
  DecimalText text = decimalText(magnitude);
  std::size_t last = text.digits.find_last_not_of('0');
  if (last == std::string::npos) return "0";
  std::string digits = text.digits.substr(0, last + 1);
  int count = static_cast<int>(digits.size());
  int e = text.exponent;
  if (e >= count - 1) return digits + std::string(static_cast<std::size_t>(e - count + 1), '0');
  if (e >= 0) return digits.substr(0, static_cast<std::size_t>(e + 1)) + "." + digits.substr(static_cast<std::size_t>(e + 1));
  return "0." + std::string(static_cast<std::size_t>(-e - 1), '0') + digits;
}

std::string notFinite(double value) { return std::isnan(value) ? "nan" : "inf"; }

// A pattern is literal text, a run of zeros (the least number of integer
// digits), optionally "." and a run of zeros (the decimals), literal text.
struct Pattern {
  std::string_view prefix, suffix;
  int integerDigits = 1;
  int decimals = 0;
};

Pattern parsePattern(std::string_view pattern) {
  Pattern p;
  std::size_t start = std::min(pattern.find_first_of("0."), pattern.size());
  p.prefix = pattern.substr(0, start);
  std::size_t i = start;
  while (i < pattern.size() && pattern[i] == '0') ++i;
  p.integerDigits = std::max(1, static_cast<int>(i - start));
  if (i < pattern.size() && pattern[i] == '.') {
    std::size_t decimalsStart = ++i;
    while (i < pattern.size() && pattern[i] == '0') ++i;
    p.decimals = static_cast<int>(i - decimalsStart);
  }
  p.suffix = pattern.substr(i);
  return p;
}

}  // namespace

std::string formatPattern(double value, std::string_view pattern) {
  Pattern p = parsePattern(pattern);
  std::string number;
  if (std::isfinite(value)) {
    number = roundedScaledDigits(std::fabs(value), p.decimals);
    auto width = static_cast<std::size_t>(p.integerDigits + p.decimals);
    if (number.size() < width) number.insert(0, width - number.size(), '0');
    if (p.decimals > 0) number.insert(number.size() - static_cast<std::size_t>(p.decimals), ".");
  } else {
    number = notFinite(value);
  }
  std::string out;
  if (value < 0) out += '-';
  out += p.prefix;
  out += number;
  out += p.suffix;
  return out;
}

std::string formatNumberItem(double value) {
  std::string out(1, value < 0 ? '-' : ' ');
  out += std::isfinite(value) ? plainDecimal(std::fabs(value)) : notFinite(value);
  out += ' ';
  return out;
}

}  // namespace vantrel
