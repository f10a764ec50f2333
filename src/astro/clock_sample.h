// clock_sample.h - one reading of the clock as the numbers of the cycle.
//
// Given:
//    dateText   "YYYY-MM-DD": year from characters 1-4, month 6-7, day 9-10
//    timeText   "HH:MM:SS": hours from characters 1-2, minutes 4-5
//    zoneOffsetDays  how far the texts stand ahead of Universal Time, days;
//               0.375 for the design's zone UT + 9 h
// Returned:
//    clockYear, clockMonth, clockDay   doubles
//    clockDayFraction  single precision: (hours + minutes / 60) / 24, computed
//                      in double and rounded once (ties to even)
//    zoneOffsetDays    as given
// Notes:
// 1) Seconds are not used: the sample has a resolution of one minute.
// 2) Each piece is read by its leading digits; a piece without digits reads 0.
//    The layout of the texts is not checked.
#pragma once

#include <string>
#include <string_view>

namespace vantrel {

inline constexpr double designZoneOffsetDays = 0.375;

struct ClockSample {
  double clockYear = 0;
  double clockMonth = 0;
  double clockDay = 0;
  float clockDayFraction = 0;
  double zoneOffsetDays = designZoneOffsetDays;
  std::string cycleDateText;
  std::string cycleTimeText;
};

ClockSample sampleClock(std::string_view dateText, std::string_view timeText,
                        double zoneOffsetDays = designZoneOffsetDays);

// The offset of a clock reading in days: 32400000 ms is 0.375 exactly.
inline double zoneOffsetDays(long long offsetMs) { return static_cast<double>(offsetMs) / 86400000.0; }

}  // namespace vantrel
