// Tests of sampleClock: the pieces of the date and time texts, and the day
// fraction formed in double and rounded once to single precision.
#include "astro/clock_sample.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vantrel {
namespace {

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

// Fractions compared by their bits; the pieces are taken by position and read
// by their leading digits, the separators never looked at.
TEST(ClockSample, PiecesAndDayFraction) {
  const struct {
    const char *description, *date, *time;
    double year, month, day;  // exact
    float fraction;           // exact bits
  } cases[] = {
      {"22:30 gives 0.9375", "2024-03-15", "22:30:00", 2024, 3, 15, 0.9375f},
      {"00:00 gives 0", "2024-03-15", "00:00:00", 2024, 3, 15, 0.0f},
      {"00:01", "2024-03-15", "00:01:00", 2024, 3, 15, 0.0006944444612599909f},
      {"23:59 gives 0.9993055462837219, bits 3F7FD27D", "2024-03-15", "23:59:00", 2024, 3, 15,
       std::bit_cast<float>(0x3F7FD27Du)},
      {"seconds are ignored, other separators", "2024/03/15", "22.30.59", 2024, 3, 15, 0.9375f},
      {"one-digit pieces", "2024-3-15", "7:5:00", 2024, 3, 5, static_cast<float>(7.0 / 24)},
      {"pieces without digits read 0", "year-mo-dy", "hh:mm:ss", 0, 0, 0, 0.0f},
      {"short texts", "2024-0", "1", 2024, 0, 0, static_cast<float>(1.0 / 24)},
      {"empty texts", "", "", 0, 0, 0, 0.0f},
      {"digits after a non-digit are not read", "20x4-1a-b5", "2b:3c:00", 20, 1, 0,
       static_cast<float>((2 + 3 / 60.0) / 24)},
  };
  for (const auto& c : cases) {
    const ClockSample s = sampleClock(c.date, c.time);
    EXPECT_TRUE(s.clockYear == c.year && s.clockMonth == c.month && s.clockDay == c.day &&
                s.cycleDateText == c.date && s.cycleTimeText == c.time)
        << c.description << ": want " << c.year << " " << c.month << " " << c.day << " got " << s.clockYear << " "
        << s.clockMonth << " " << s.clockDay << ", texts kept whole: " << s.cycleDateText << " " << s.cycleTimeText;
    EXPECT_EQ(bits(s.clockDayFraction), bits(c.fraction))
        << c.description << std::hexfloat << ": want " << c.fraction << " got " << s.clockDayFraction;
  }
}

// Every minute of the day: the quotient is formed in double and rounded once.
// Dividing in single precision gives other bits for some minutes, so this
// test can tell the two apart (the count below proves it).
TEST(ClockSample, EveryMinuteIsRoundedOnceFromDouble) {
  int differsFromSinglePrecision = 0;
  for (int minute = 0; minute < 1440; ++minute) {
    const int h = minute / 60, m = minute % 60;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:00", h, m);
    const float got = sampleClock("2024-03-15", text).clockDayFraction;
    const float want = static_cast<float>((h + m / 60.0) / 24);
    ASSERT_EQ(bits(got), bits(want)) << text << std::hexfloat << ": want " << want << " got " << got;
    differsFromSinglePrecision += bits((static_cast<float>(h) + m / 60.0f) / 24.0f) != bits(want);
  }
  EXPECT_GT(differsFromSinglePrecision, 0);
}

}  // namespace
}  // namespace vantrel
