// The clock sample and what follows from it: the pieces of the date and time
// texts, the day fraction formed in double and rounded once to single
// precision, then the day number (the worked dates, the 1582 switch, years
// before 0, every day from the year 0 to 2100), Universal Time and the local
// sidereal angle of the worked instant.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>

#include "astro/clock_sample.h"
#include "astro/koudo_keisan_1950.h"

namespace vantrel {
namespace {

constexpr double twoPi = 2 * std::numbers::pi;
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

// Day numbers are exact. The calendar follows the decimal year: 1582-10-10
// (1582.77738) is still Julian, 1582-10-11 (1582.78012) already Gregorian.
// For a Julian year below 0 the rule truncates 365.25 Y toward zero and
// subtracts one day more (the year -1 is 2 BC).
TEST(ModifiedJulianDay, WorkedDates) {
  // Year, month, day, N: leap day 2024 and the day after, 2000, the origin,
  // the last Julian and first Gregorian days of the reform with the two days
  // either side of the switch by decimal year, 1 March of the years -1 and -4.
  const double cases[][4] = {{2024, 2, 29, 60369},    {2024, 3, 1, 60370},      {2000, 1, 1, 51544},
                             {1858, 11, 17, 0},       {1582, 10, 4, -100841},   {1582, 10, 10, -100835},
                             {1582, 10, 11, -100844}, {1582, 10, 15, -100840},  {-1, 3, 1, -679249},
                             {-4, 3, 1, -680345}};
  for (const auto& [y, m, d, N] : cases)
    EXPECT_EQ(modifiedJulianDay(y, m, d), N) << y << "-" << m << "-" << d << " (tolerance 0)";
}

// Each day, Julian to 1582-10-04 and Gregorian from 1582-10-15, is one more
// than the day before: with the origin above that pins every day number from
// the year 0 to 2100, across every month end and leap rule.
TEST(ModifiedJulianDay, EveryDayFollowsTheDayBefore) {
  static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  double previous = modifiedJulianDay(0, 1, 1) - 1;
  for (int y = 0; y <= 2100; ++y) {
    const bool leap = y % 4 == 0 && (y <= 1582 || y % 100 != 0 || y % 400 == 0);
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= monthDays[m - 1] + (m == 2 && leap); ++d) {
        if (y == 1582 && m == 10 && d > 4 && d < 15) continue;
        const double got = modifiedJulianDay(y, m, d);
        ASSERT_EQ(got, previous + 1) << y << "-" << m << "-" << d << ": want " << previous + 1 << " got "
                                     << got;
        previous = got;
      }
    }
  }
}

// 2024-03-15 22:30 on the clock (UT + 9 h) at longitude 135 east. Only floor
// is involved, no libm routine, so every value is compared exactly.
TEST(SiderealAngle, WorkedExample) {
  const ClockSample sample = sampleClock("2024-03-15", "22:30:00");
  const detail::SiderealTrace t = detail::siderealTrace(sample, 135.0);
  // T is the fraction 0.9375 less 0.375; all tolerances 0.
  EXPECT_EQ(t.N, 60384);
  EXPECT_EQ(t.T, 60384.5625);
  EXPECT_EQ(t.L, 0.375);
  EXPECT_EQ(t.S, 20441.41693626619);
  EXPECT_EQ(t.F, 0.4169362661887135);
  EXPECT_EQ(t.theta, 2.6196878217472417);
  EXPECT_NEAR(t.theta / twoPi * 24, 10.00647, 5e-6) << "sidereal hours";
}

// Before MJD 40000 S is negative: F must still lie in [0, 1), theta in
// [0, 2 pi) (a truncation instead of floor would not).
TEST(SiderealAngle, EarlyDatesStayInRange) {
  for (const char* date : {"1900-01-01", "1950-06-30", "0001-01-01"}) {
    const detail::SiderealTrace t = detail::siderealTrace(sampleClock(date, "05:17:00"), -70.25);
    EXPECT_TRUE(t.S < 0 && t.F >= 0 && t.F < 1 && t.theta >= 0 && t.theta < twoPi)
        << date << ": want S < 0, F in [0, 1), theta in [0, 2 pi); got S " << t.S << " F " << t.F << " theta "
        << t.theta;
  }
}

}  // namespace
}  // namespace vantrel
