#include "inputs/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace vantrel {
namespace {

int hexDigitValue(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a') + 10;
  if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A') + 10;
  return -1;
}

bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// Index of the next character at or after `i` that is not a blank.
std::size_t skipBlanks(std::u32string_view text, std::size_t i) {
  while (i < text.size() && isBlank(text[i])) ++i;
  return i;
}

NumberScan scanHex(std::u32string_view text, std::size_t i) {
  NumberScan scan;
  std::uint64_t bits = 0;
  int digits = 0;
  for (i = skipBlanks(text, i); i < text.size(); i = skipBlanks(text, i + 1)) {
    int d = hexDigitValue(text[i]);
    if (d < 0) break;
    bits = (bits << 4) | static_cast<std::uint64_t>(d);
    scan.end = i + 1;
    if (++digits > 8) return NumberScan{};
  }
  if (digits == 0) return NumberScan{};
  if (digits <= 4) {
    scan.value = static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(bits)));
  } else {
    scan.value = static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
  }
  scan.found = true;
  return scan;
}

// Decimal text that from_chars could not hold is beyond the largest double
// or below the smallest one. Which of the two is told by the position of its
// first significant digit, not by the exponent alone: "1" and 309 zeros is
// huge without any exponent, "0.(330 zeros)1e5" tiny with a positive one.
double outOfRangeValue(const std::string& clean) {
  bool negative = clean.front() == '-';
  std::size_t e = clean.find('e');
  std::size_t first = negative ? 1 : 0;
  std::string_view mantissa = std::string_view(clean).substr(first, e == std::string::npos ? e : e - first);
  // The value lies in [10^(magnitude-1), 10^magnitude): count the digits
  // before the point from the first significant one, or the zeros after it.
  std::int64_t magnitude = 0;
  bool beforePoint = true, significant = false;
  for (char c : mantissa) {
    if (c == '.') {
      beforePoint = false;
    } else if (significant || c != '0') {
      significant = true;
      if (beforePoint) ++magnitude;
      else break;
    } else if (!beforePoint) {
      --magnitude;
    }
  }
  if (!significant) return negative ? -0.0 : 0.0;
  if (e != std::string::npos) {
    // Saturated: an exponent of any length counts only by its sign beyond this.
    constexpr std::int64_t saturation = 1'000'000'000;
    std::int64_t exponent = 0;
    bool negativeExponent = clean[e + 1] == '-';
    for (std::size_t i = e + 1; i < clean.size(); ++i) {
      if (clean[i] >= '0' && clean[i] <= '9') exponent = std::min(saturation, exponent * 10 + (clean[i] - '0'));
    }
    magnitude += negativeExponent ? -exponent : exponent;
  }
  double value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -value : value;
}

}  // namespace

NumberScan scanNumber(std::u32string_view text) {
  std::size_t i = skipBlanks(text, 0);
  if (i + 1 < text.size() && text[i] == U'&' && (text[i + 1] == U'h' || text[i + 1] == U'H')) {
    return scanHex(text, i + 2);
  }

  std::string clean;  // the number without blanks, in ASCII
  NumberScan scan;
  if (i < text.size() && (text[i] == U'+' || text[i] == U'-')) {
    if (text[i] == U'-') clean += '-';
    i = skipBlanks(text, i + 1);
  }
  bool point = false;
  int mantissaDigits = 0;
  for (; i < text.size(); i = skipBlanks(text, i + 1)) {
    char32_t c = text[i];
    if (isDigit(c)) {
      ++mantissaDigits;
    } else if (c == U'.' && !point) {
      point = true;
    } else {
      break;
    }
    clean += static_cast<char>(c);
    scan.end = i + 1;
  }
  if (mantissaDigits == 0) return NumberScan{};

  // The exponent counts only when at least one digit follows the marker.
  if (i < text.size() && (text[i] == U'e' || text[i] == U'E')) {
    std::string exponent = "e";
    std::size_t j = skipBlanks(text, i + 1);
    if (j < text.size() && (text[j] == U'+' || text[j] == U'-')) {
      exponent += static_cast<char>(text[j]);
      j = skipBlanks(text, j + 1);
    }
    std::size_t exponentEnd = 0;
    for (; j < text.size() && isDigit(text[j]); j = skipBlanks(text, j + 1)) {
      exponent += static_cast<char>(text[j]);
      exponentEnd = j + 1;
    }
    if (exponentEnd != 0) {
      clean += exponent;
      scan.end = exponentEnd;
    }
  }

  const char* first = clean.data();
  const char* last = clean.data() + clean.size();
  auto [ptr, ec] = std::from_chars(first, last, scan.value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    scan.value = outOfRangeValue(clean);
  } else if (ec != std::errc() || ptr != last) {
    return NumberScan{};  // cannot happen for text assembled above
  }
  scan.found = true;
  return scan;
}

NumberScan scanNumber(std::string_view text) {
  std::u32string wide(text.size(), U'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    wide[i] = static_cast<unsigned char>(text[i]);
  }
  return scanNumber(std::u32string_view(wide));
}

double roundHalfEven(double value) {
  // nearbyint rounds in the current rounding mode, which the program never
  // changes from round-to-nearest-even.
  return std::nearbyint(value);
}

}  // namespace vantrel
