// Tests of the Universal Time and local sidereal angle of a clock sample.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "astro/koudo_keisan_1950.h"

namespace vantrel {
namespace {

constexpr double twoPi = 2 * std::numbers::pi;

// 2024-03-15 22:30 on the clock at longitude 135 east. No libm routine is
// involved (only floor), so every value is compared exactly.
TEST(SiderealAngle, WorkedExample) {
  const ClockSample sample = sampleClock("2024-03-15", "22:30:00");
  const detail::SiderealTrace t = detail::siderealTrace(sample, 135.0);
  struct Value {
    const char* name;
    double want, got;
  };
  const Value values[] = {
      {"N", 60384, t.N},
      {"T", 60384.5625, t.T},
      {"L", 0.375, t.L},
      {"S", 20441.41693626619, t.S},
      {"F", 0.4169362661887135, t.F},
      {"theta", 2.6196878217472417, t.theta},
  };
  for (const Value& v : values) {
    EXPECT_EQ(v.got, v.want) << v.name << ": want " << v.want << " got " << v.got << " (tolerance 0)";
  }
  EXPECT_NEAR(t.theta / twoPi * 24, 10.00647, 5e-6) << "sidereal hours";
  EXPECT_EQ(localSiderealAngle(sample, 135.0), t.theta);
}

// The clock shows UT + 9 h: 09:00 on the clock is 0 h UT of the same date.
TEST(SiderealAngle, ClockIsNineHoursAheadOfUniversalTime) {
  const detail::SiderealTrace t = detail::siderealTrace(sampleClock("2024-03-15", "09:00:00"), 0.0);
  EXPECT_EQ(t.T, 60384.0) << "want 60384 got " << t.T;
  const detail::SiderealTrace early = detail::siderealTrace(sampleClock("2024-03-15", "03:00:00"), 0.0);
  EXPECT_EQ(early.T, 60383.75) << "want 60383.75 got " << early.T;
}

// One minute later the angle has grown by 1.002737803 turns per day of the
// (single-precision) day fractions; S carries about 4e-12 turns of rounding.
TEST(SiderealAngle, AdvancesAtTheSiderealRate) {
  const ClockSample first = sampleClock("2024-03-15", "22:30:00");
  const ClockSample second = sampleClock("2024-03-15", "22:31:00");
  const double elapsedDays =
      static_cast<double>(second.clockDayFraction) - static_cast<double>(first.clockDayFraction);
  const double want = twoPi * 1.002737803 * elapsedDays;
  const double got = localSiderealAngle(second, 135.0) - localSiderealAngle(first, 135.0);
  EXPECT_NEAR(got, want, 1e-10);
}

// West longitudes are negative; the longitude enters in turns.
TEST(SiderealAngle, LongitudeInTurns) {
  const ClockSample sample = sampleClock("2024-03-15", "22:30:00");
  EXPECT_EQ(detail::siderealTrace(sample, -135.0).L, -0.375);
  EXPECT_EQ(detail::siderealTrace(sample, 0.0).L, 0.0);
  const double east = localSiderealAngle(sample, 90.0);
  const double greenwich = localSiderealAngle(sample, 0.0);
  EXPECT_NEAR(std::remainder(east - greenwich - twoPi / 4, twoPi), 0.0, 1e-12);
}

// Before MJD 40000 the sidereal time in turns is negative; F stays in [0, 1)
// and theta in [0, 2 pi).
TEST(SiderealAngle, FractionStaysInRangeForEarlyDates) {
  const char* dates[] = {"1900-01-01", "1950-06-30", "1968-05-23", "1582-10-15", "0001-01-01"};
  for (const char* date : dates) {
    for (int hour = 0; hour < 24; hour += 5) {
      char time[16];
      std::snprintf(time, sizeof time, "%02d:17:00", hour);
      const detail::SiderealTrace t = detail::siderealTrace(sampleClock(date, time), -70.25);
      EXPECT_GE(t.F, 0.0) << date << " " << time << " S " << t.S;
      EXPECT_LT(t.F, 1.0) << date << " " << time << " S " << t.S;
      EXPECT_GE(t.theta, 0.0) << date << " " << time;
      EXPECT_LT(t.theta, twoPi) << date << " " << time;
    }
  }
  EXPECT_LT(detail::siderealTrace(sampleClock("1900-01-01", "00:00:00"), 0.0).S, 0.0);
}

}  // namespace
}  // namespace vantrel
