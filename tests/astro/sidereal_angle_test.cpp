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

// The pieces are taken by position and read by their leading digits, the separators never looked at; the
// fraction is compared by its bits, and every minute of the day is rounded once from double (dividing in
// single precision gives other bits for some minutes: the count proves the loop tells them apart).
TEST(ClockSample, PiecesAndDayFraction) {
  const struct {
    const char *date, *time;
    double year, month, day;
    float fraction;
  } cases[] = {
      {"2024-03-15", "22:30:00", 2024, 3, 15, 0.9375f},
      {"2024-03-15", "00:01:00", 2024, 3, 15, 0.0006944444612599909f},
      {"2024/03/15", "22.30.59", 2024, 3, 15, 0.9375f},  // seconds ignored, other separators
      {"2024-3-15", "7:5:00", 2024, 3, 5, static_cast<float>(7.0 / 24)},
      {"year-mo-dy", "hh:mm:ss", 0, 0, 0, 0.0f},
      {"2024-0", "1", 2024, 0, 0, static_cast<float>(1.0 / 24)},
      {"", "", 0, 0, 0, 0.0f},
      {"20x4-1a-b5", "2b:3c:00", 20, 1, 0, static_cast<float>((2 + 3 / 60.0) / 24)},
  };
  for (const auto& c : cases) {
    const ClockSample s = sampleClock(c.date, c.time);
    EXPECT_TRUE(s.clockYear == c.year && s.clockMonth == c.month && s.clockDay == c.day &&
                s.cycleDateText == c.date && s.cycleTimeText == c.time && bits(s.clockDayFraction) == bits(c.fraction))
        << c.date << " " << c.time << ": got " << s.clockYear << " " << s.clockMonth << " " << s.clockDay << " "
        << std::hexfloat << s.clockDayFraction << ", texts " << s.cycleDateText << " " << s.cycleTimeText;
  }
  int differsFromSinglePrecision = 0;
  for (int minute = 0; minute < 1440; ++minute) {
    const int h = minute / 60, m = minute % 60;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:00", h, m);
    const float want = static_cast<float>((h + m / 60.0) / 24);
    ASSERT_EQ(bits(sampleClock("2024-03-15", text).clockDayFraction), bits(want)) << text;
    differsFromSinglePrecision += bits((static_cast<float>(h) + m / 60.0f) / 24.0f) != bits(want);
  }
  EXPECT_GT(differsFromSinglePrecision, 0);
}

// Day numbers are exact. The calendar follows the decimal year: 1582-10-10 (1582.77738) is still Julian,
// 1582-10-11 (1582.78012) already Gregorian. For a Julian year below 0 the rule truncates 365.25 Y toward
// zero and subtracts one day more (the year -1 is 2 BC). Then each day, Julian to 1582-10-04 and Gregorian
// from 1582-10-15, is one more than the day before: that pins every day from the year 0 to 2100.
TEST(ModifiedJulianDay, WorkedDatesAndEveryDayFollowsTheDayBefore) {
  const double cases[][4] = {{2024, 2, 29, 60369},   {2024, 3, 1, 60370},     {2000, 1, 1, 51544},
                             {1858, 11, 17, 0},      {1582, 10, 4, -100841},  {1582, 10, 10, -100835},
                             {1582, 10, 11, -100844}, {1582, 10, 15, -100840}, {-1, 3, 1, -679249},
                             {-4, 3, 1, -680345}};
  for (const auto& [y, m, d, N] : cases) EXPECT_EQ(modifiedJulianDay(y, m, d), N) << y << "-" << m << "-" << d;
  static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  double previous = modifiedJulianDay(0, 1, 1) - 1;
  for (int y = 0; y <= 2100; ++y) {
    const bool leap = y % 4 == 0 && (y <= 1582 || y % 100 != 0 || y % 400 == 0);
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= monthDays[m - 1] + (m == 2 && leap); ++d) {
        if (y == 1582 && m == 10 && d > 4 && d < 15) continue;
        ASSERT_EQ(modifiedJulianDay(y, m, d), previous + 1) << y << "-" << m << "-" << d;
        previous += 1;
      }
    }
  }
}

// 2024-03-15 22:30 on the clock (UT + 9 h) at longitude 135 east: only floor is involved, no libm routine,
// so every value is exact. Before MJD 40000 S is negative: F must still lie in [0, 1), theta in [0, 2 pi)
// (a truncation instead of floor would not).
TEST(SiderealAngle, WorkedExampleAndEarlyDates) {
  const detail::SiderealTrace t = detail::siderealTrace(sampleClock("2024-03-15", "22:30:00"), 135.0);
  EXPECT_TRUE(t.N == 60384 && t.T == 60384.5625 && t.L == 0.375 && t.S == 20441.41693626619 &&
              t.F == 0.4169362661887135 && t.theta == 2.6196878217472417)
      << std::hexfloat << t.N << " " << t.T << " " << t.L << " " << t.S << " " << t.F << " " << t.theta;
  for (const char* date : {"1900-01-01", "1950-06-30", "0001-01-01"}) {
    const detail::SiderealTrace e = detail::siderealTrace(sampleClock(date, "05:17:00"), -70.25);
    EXPECT_TRUE(e.S < 0 && e.F >= 0 && e.F < 1 && e.theta >= 0 && e.theta < twoPi)
        << date << ": S " << e.S << " F " << e.F << " theta " << e.theta;
  }
}

}  // namespace
}  // namespace vantrel
