// Tests of modifiedJulianDay: worked dates, the 1582 switch, years before 0,
// and day-by-day continuity against ERFA's Gregorian calendar.
#include <erfa.h>
#include <gtest/gtest.h>

#include "astro/koudo_keisan_1950.h"

namespace vantrel {
namespace {

struct DayCase {
  const char* description;
  double year, month, day;
  double N;  // exact
};

void expectDays(const DayCase* cases, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const DayCase& c = cases[i];
    const double got = modifiedJulianDay(c.year, c.month, c.day);
    EXPECT_EQ(got, c.N) << c.description << ": want " << c.N << " got " << got << " (tolerance 0)";
  }
}

TEST(ModifiedJulianDay, WorkedDates) {
  const DayCase cases[] = {
      {"leap day 2024-02-29", 2024, 2, 29, 60369},
      {"the day after, 2024-03-01", 2024, 3, 1, 60370},
      {"2000-01-01", 2000, 1, 1, 51544},
      {"the origin, 1858-11-17", 1858, 11, 17, 0},
  };
  expectDays(cases, std::size(cases));
}

// The calendar follows the decimal year: 1582-10-10 (1582.77738) is still
// Julian, 1582-10-11 (1582.78012) already Gregorian, so the day numbers of
// 10-05..10-14 overlap those of the real calendars on either side.
TEST(ModifiedJulianDay, CalendarSwitchOf1582) {
  const DayCase cases[] = {
      {"1582-10-04, last Julian day of the reform", 1582, 10, 4, -100841},
      {"1582-10-10, decimal year below 1582.78: Julian", 1582, 10, 10, -100835},
      {"1582-10-11, decimal year from 1582.78: Gregorian", 1582, 10, 11, -100844},
      {"1582-10-15, first Gregorian day of the reform", 1582, 10, 15, -100840},
  };
  expectDays(cases, std::size(cases));
}

// Astronomical numbering: the year -1 is 2 BC. For a Julian year below 0 the
// rule truncates 365.25 Y toward zero and subtracts one day more.
TEST(ModifiedJulianDay, YearsBeforeYearZero) {
  const DayCase cases[] = {
      {"1 March of the year -1", -1, 3, 1, -679249},
      {"1 March of the year -4", -4, 3, 1, -680345},
  };
  expectDays(cases, std::size(cases));
}

bool gregorianLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
bool julianLeap(int y) { return y % 4 == 0; }
int monthLength(int y, int m, bool gregorian) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && (gregorian ? gregorianLeap(y) : julianLeap(y)) ? 29 : days[m - 1];
}

// Every day from 1582-10-15 to 2100-12-31 against ERFA's Gregorian calendar,
// which is an independent implementation.
TEST(ModifiedJulianDay, GregorianDaysAgreeWithErfa) {
  int checked = 0;
  for (int y = 1582; y <= 2100; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= monthLength(y, m, true); ++d) {
        if (y == 1582 && (m < 10 || (m == 10 && d < 15))) continue;
        double djm0, djm;
        ASSERT_EQ(eraCal2jd(y, m, d, &djm0, &djm), 0);
        const double got = modifiedJulianDay(y, m, d);
        ASSERT_EQ(got, djm) << y << "-" << m << "-" << d << ": want " << djm << " got " << got;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 189000);
}

// Julian dates from the year 0 to 1582-10-04 advance one day at a time,
// across every month end and leap day, and 1582-10-15 follows 1582-10-04.
TEST(ModifiedJulianDay, JulianDaysAreConsecutive) {
  double previous = modifiedJulianDay(0, 1, 1) - 1;
  for (int y = 0; y <= 1582; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= monthLength(y, m, false); ++d) {
        if (y == 1582 && (m > 10 || (m == 10 && d > 4))) continue;
        const double got = modifiedJulianDay(y, m, d);
        ASSERT_EQ(got, previous + 1) << y << "-" << m << "-" << d << ": want " << previous + 1 << " got "
                                     << got;
        previous = got;
      }
    }
  }
  EXPECT_EQ(modifiedJulianDay(1582, 10, 15), previous + 1);
}

}  // namespace
}  // namespace vantrel
