// day_number.cpp - Modified Julian Date of a calendar date.
//
// Given:
//    year    double   astronomical numbering (1 BC is 0, 2 BC is -1)
//    month   double   1 to 12
//    day     double   day of the month
// Returned:
//    the Modified Julian Date of 0 h of the date (double, whole number)
// Notes:
// 1) The calendar is chosen by the decimal year of the unadjusted date:
//    from 1582.78 on (1582-10-11) Gregorian, before it Julian. A date in the
//    gap of 1582-10-05..14 is therefore read in whichever calendar its
//    decimal year falls, and the day numbers overlap there.
// 2) January and February count as months 13 and 14 of the year before.
// 3) For a Julian year below 0 the term 365.25 Y is truncated toward zero
//    and one day more is subtracted than for years from 0 on. That is right
//    when 365.25 |Y| has a fraction, but one day low when Y is a multiple of
//    4 (for example 1 March of the year -4); the routine keeps that rule,
//    the night never meets such a date.
// 4) Every term is a whole number well inside 2^53, so the result is exact.
//    Nothing is checked: the month and day are not range-tested.
#include <cmath>

#include "astro/koudo_keisan_1950.h"

namespace vantrel {

double modifiedJulianDay(double year, double month, double day) {
  double Y = year;
  double M = month;
  const double D = day;

  // The decimal year comes from the date before January and February move.
  const double Yd = (Y + (M - 1) / 12) + D / 365.25;
  if (!(M > 2)) {
    M = M + 12;
    Y = Y - 1;
  }

  double N;
  if (Yd >= 1582.78) {
    N = std::floor(365.25 * Y) + std::floor(Y / 400) - std::floor(Y / 100) + std::floor(30.59 * (M - 2)) -
        678912;
  } else if (Y >= 0) {
    N = std::floor(365.25 * Y) + std::floor(30.59 * (M - 2)) - 678914;
  } else {
    N = -std::floor(365.25 * std::fabs(Y)) + std::floor(30.59 * (M - 2)) - 678915;
  }
  return N + D;
}

}  // namespace vantrel
