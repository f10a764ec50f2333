// clock_sample.cpp - one reading of the clock as the numbers of the cycle.
//
// The pieces of the texts are taken by character position (1-based: year
// 1-4, month 6-7, day 9-10, hours 1-2, minutes 4-5); a piece that runs past
// the end of its text holds the characters that are there. Each piece is read
// by its leading decimal digits, so "07" reads 7, "7:" reads 7 and ":3" reads
// 0. The separators and the seconds are never looked at.
#include "astro/clock_sample.h"

#include <cstddef>

namespace vantrel {
namespace {

// The characters `first` (1-based) to first + length - 1 of `text`, or as
// many of them as the text holds.
std::string_view piece(std::string_view text, std::size_t first, std::size_t length) {
  if (first > text.size()) return {};
  return text.substr(first - 1, length);
}

// The number written by the leading decimal digits of `text`; 0 when the
// text does not begin with a digit. The pieces hold at most four digits, so
// the value is exact.
double leadingDigits(std::string_view text) {
  double value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

ClockSample sampleClock(std::string_view dateText, std::string_view timeText) {
  ClockSample sample;
  sample.cycleDateText = std::string(dateText);
  sample.cycleTimeText = std::string(timeText);
  sample.clockYear = leadingDigits(piece(dateText, 1, 4));
  sample.clockMonth = leadingDigits(piece(dateText, 6, 2));
  sample.clockDay = leadingDigits(piece(dateText, 9, 2));

  const double hours = leadingDigits(piece(timeText, 1, 2));
  const double minutes = leadingDigits(piece(timeText, 4, 2));
  // Computed in double and rounded once to single precision.
  sample.clockDayFraction = static_cast<float>((hours + minutes / 60) / 24);
  return sample;
}

}  // namespace vantrel
