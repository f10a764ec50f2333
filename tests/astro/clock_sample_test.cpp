// Tests of sampleClock: the pieces of the date and time texts, and the day
// fraction computed in double and rounded once to single precision.
#include "astro/clock_sample.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vantrel {
namespace {

std::string hex(float f) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(std::bit_cast<std::uint32_t>(f)));
  return text;
}

TEST(ClockSample, DayFractionOfTheWorkedTimes) {
  struct Case {
    const char* timeText;
    double fraction;  // the single-precision value, widened; compared exactly
  };
  const Case cases[] = {
      {"22:30:00", 0.9375},
      {"00:00:00", 0.0},
      {"00:01:00", 0.0006944444612599909},
      {"23:59:00", 0.9993055462837219},
  };
  for (const Case& c : cases) {
    const ClockSample s = sampleClock("2024-03-15", c.timeText);
    EXPECT_EQ(static_cast<double>(s.clockDayFraction), c.fraction)
        << c.timeText << ": want " << c.fraction << " got " << s.clockDayFraction << " (tolerance 0)";
  }
  const float lastMinute = sampleClock("2024-03-15", "23:59:00").clockDayFraction;
  EXPECT_EQ(std::bit_cast<std::uint32_t>(lastMinute), 0x3F7FD27Du) << "want 3F7FD27D got " << hex(lastMinute);
}

TEST(ClockSample, SecondsAreIgnored) {
  const ClockSample early = sampleClock("2024-03-15", "22:30:00");
  const ClockSample late = sampleClock("2024-03-15", "22:30:59");
  EXPECT_EQ(std::bit_cast<std::uint32_t>(late.clockDayFraction),
            std::bit_cast<std::uint32_t>(early.clockDayFraction))
      << "want " << hex(early.clockDayFraction) << " got " << hex(late.clockDayFraction);
  EXPECT_EQ(late.cycleTimeText, "22:30:59");  // the text itself is kept whole
}

// Every minute of the day: the quotient is formed in double and rounded once.
// Rounding after each step, or dividing in single precision, gives other
// bits for some minutes (checked below, so this test can tell them apart).
TEST(ClockSample, EveryMinuteIsRoundedOnceFromDouble) {
  int differsFromSinglePrecision = 0;
  for (int h = 0; h < 24; ++h) {
    for (int m = 0; m < 60; ++m) {
      char text[16];
      std::snprintf(text, sizeof text, "%02d:%02d:00", h, m);
      const float got = sampleClock("2024-03-15", text).clockDayFraction;
      const float want = static_cast<float>((h + m / 60.0) / 24);
      ASSERT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(want))
          << text << ": want " << hex(want) << " got " << hex(got);
      const float single = (static_cast<float>(h) + static_cast<float>(m) / 60.0f) / 24.0f;
      differsFromSinglePrecision +=
          std::bit_cast<std::uint32_t>(single) != std::bit_cast<std::uint32_t>(want);
    }
  }
  EXPECT_GT(differsFromSinglePrecision, 0);
}

TEST(ClockSample, DatePiecesAndTextsAreKept) {
  const ClockSample s = sampleClock("2024-03-15", "22:30:07");
  EXPECT_EQ(s.clockYear, 2024.0);
  EXPECT_EQ(s.clockMonth, 3.0);
  EXPECT_EQ(s.clockDay, 15.0);
  EXPECT_EQ(s.cycleDateText, "2024-03-15");
  EXPECT_EQ(s.cycleTimeText, "22:30:07");
}

// The pieces are taken by position and read by their leading digits; the
// separators are never looked at, and a piece without digits reads 0.
TEST(ClockSample, PiecesAreReadByTheirLeadingDigits) {
  struct Case {
    const char* description;
    const char* date;
    const char* time;
    double year, month, day;
    float fraction;
  };
  const Case cases[] = {
      {"other separators", "2024/03/15", "22.30.00", 2024, 3, 15, 0.9375f},
      {"one-digit pieces", "2024-3-15", "7:5:00", 2024, 3, 5, static_cast<float>(7.0 / 24)},
      {"pieces without digits", "year-mo-dy", "hh:mm:ss", 0, 0, 0, 0.0f},
      {"short texts", "2024-0", "1", 2024, 0, 0, static_cast<float>(1.0 / 24)},
      {"empty texts", "", "", 0, 0, 0, 0.0f},
      {"digits after a non-digit are not read", "20x4-1a-b5", "2b:3c:00", 20, 1, 0,
       static_cast<float>((2 + 3 / 60.0) / 24)},
  };
  for (const Case& c : cases) {
    const ClockSample s = sampleClock(c.date, c.time);
    EXPECT_EQ(s.clockYear, c.year) << c.description;
    EXPECT_EQ(s.clockMonth, c.month) << c.description;
    EXPECT_EQ(s.clockDay, c.day) << c.description;
    EXPECT_EQ(s.clockDayFraction, c.fraction)
        << c.description << ": want " << hex(c.fraction) << " got " << hex(s.clockDayFraction);
  }
}

}  // namespace
}  // namespace vantrel
