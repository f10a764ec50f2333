// clock_sample.h - one reading of the clock as the numbers of the cycle.
//
// Given:
//    dateText   "YYYY-MM-DD": year from characters 1-4, month 6-7, day 9-10
//    timeText   "HH:MM:SS": hours from characters 1-2, minutes 4-5
// Returned:
//    clockYear, clockMonth, clockDay   doubles
//    clockDayFraction  single precision: (hours + minutes / 60) / 24, computed
//                      in double and rounded once (ties to even)
// Notes:
// 1) Seconds are not used: the sample has a resolution of one minute.
// 2) Each piece is read by its leading digits; a piece without digits reads 0.
//    The layout of the texts is not checked.
#pragma once

#include <string>
#include <string_view>

namespace vantrel {

struct ClockSample {
  double clockYear = 0;
  double clockMonth = 0;
  double clockDay = 0;
  float clockDayFraction = 0;
  std::string cycleDateText;
  std::string cycleTimeText;
};

ClockSample sampleClock(std::string_view dateText, std::string_view timeText);

}  // namespace vantrel
