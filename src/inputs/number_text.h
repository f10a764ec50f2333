// number_text.h - reading a number from text.
//
// The one reader of numbers in the program: every numeric field of the input
// files and of the mount's replies goes through scanNumber().
//
// Rules:
//  1) Blanks (space, tab, line feed) are skipped wherever they stand, also
//     between the digits ("1 2" reads 12).
//  2) An optional sign, digits with at most one point ".", and an optional
//     exponent ("e" or "E", optional sign, digits) are read. Reading stops at
//     the first character that cannot continue the number.
//  3) The prefix "&h" (either case) reads the hexadecimal digits that follow:
//     up to four as a 16-bit signed value ("&hFFFF" is -1), five to eight as
//     a 32-bit signed value. More digits than that do not read as a number.
//  4) Text that does not begin with a number reads as 0 and is reported as
//     not found.
// Decimal text is converted correctly rounded and independent of the locale.
#pragma once

#include <cstddef>
#include <string_view>

namespace vantrel {

struct NumberScan {
  double value = 0.0;
  bool found = false;    // a number was read (at least one digit)
  std::size_t end = 0;   // index just past the last character of the number
};

NumberScan scanNumber(std::u32string_view text);
NumberScan scanNumber(std::string_view text);  // bytes taken as characters

inline double readNumber(std::u32string_view text) { return scanNumber(text).value; }
inline double readNumber(std::string_view text) { return scanNumber(text).value; }

// True for the characters the reader skips: space, tab and line feed.
constexpr bool isBlank(char32_t c) { return c == U' ' || c == U'\t' || c == U'\n'; }

// The field of `length` characters starting at character `first` (1-based)
// of a text: a field that starts beyond the end is empty, one that runs past
// it holds the characters that are there.
template <typename Char>
constexpr std::basic_string_view<Char> textField(std::basic_string_view<Char> text, std::size_t first,
                                                 std::size_t length) {
  if (first == 0 || first > text.size()) return {};
  return text.substr(first - 1, length);
}

// The number in a field of a text (see textField).
inline double readField(std::string_view text, std::size_t first, std::size_t length) {
  return readNumber(textField(text, first, length));
}
inline double readField(std::u32string_view text, std::size_t first, std::size_t length) {
  return readNumber(textField(text, first, length));
}

// Conversion of a number to an integer: to the nearest, halfway to even.
double roundHalfEven(double value);

}  // namespace vantrel
