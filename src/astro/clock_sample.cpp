// clock_sample.cpp - one reading of the clock as the numbers of the cycle.
//
// The pieces of the texts are taken by character position (1-based: year
// 1-4, month 6-7, day 9-10, hours 1-2, minutes 4-5); a piece that runs past
// the end of its text holds the characters that are there. Each piece goes
// through the program's one number reader, so "07" reads 7, "7:" reads 7 and
// ":3" reads 0. The separators and the seconds are never looked at.
#include "astro/clock_sample.h"

#include <cstddef>

#include "inputs/number_text.h"

namespace vantrel {
ClockSample sampleClock(std::string_view dateText, std::string_view timeText, double zoneOffsetDays) {
  ClockSample sample;
  sample.zoneOffsetDays = zoneOffsetDays;
  sample.cycleDateText = std::string(dateText);
  sample.cycleTimeText = std::string(timeText);
  sample.clockYear = readField(dateText, 1, 4);
  sample.clockMonth = readField(dateText, 6, 2);
  sample.clockDay = readField(dateText, 9, 2);

  const double hours = readField(timeText, 1, 2);
  const double minutes = readField(timeText, 4, 2);
  // Computed in double and rounded once to single precision.
  sample.clockDayFraction = static_cast<float>((hours + minutes / 60) / 24);
  return sample;
}

}  // namespace vantrel
