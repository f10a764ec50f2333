// The Sun for the guard against pointing near it: the low-precision formula
// against ERFA's rigorous place (eraEpv00 for the Earth, then eraAtco13 for
// the observed place without refraction), the clock texts as Universal Time,
// and the angle between two directions.
#include "astro/sun_position.h"

#include <erfa.h>
#include <erfam.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <array>
#include <random>

namespace vantrel {
namespace {

// ERFA's azimuth counts from north through east; ours from south through west.
double erfaToOurAzimuth(double aobRad) {
  double az = std::fmod(aobRad * ERFA_DR2D + 180.0, 360.0);
  return az < 0 ? az + 360 : az;
}

TEST(SunPosition, WithinTwentiethOfADegreeOfErfa1990To2060) {
  std::mt19937_64 random(10);
  std::uniform_real_distribution<double> mjd(47892, 73415), latitude(-60, 60), longitude(-180, 180);
  double worst = 0;
  for (int k = 0; k < 500; ++k) {
    const double utc = mjd(random), phi = latitude(random), lambda = longitude(random);
    double pvh[2][3], pvb[2][3];
    eraEpv00(ERFA_DJM0, utc, pvh, pvb);  // TT and UTC are not told apart: 70 s is 0.001 degree of the Sun
    double sunRa, sunDec;
    eraC2s(std::array<double, 3>{-pvh[0][0], -pvh[0][1], -pvh[0][2]}.data(), &sunRa, &sunDec);
    double aob, zob, hob, dob, rob, eo;
    const int status = eraAtco13(sunRa, sunDec, 0, 0, 0, 0, ERFA_DJM0, utc, 0, lambda * ERFA_DD2R, phi * ERFA_DD2R,
                                 0, 0, 0, 0, 0, 0, 0.55, &aob, &zob, &hob, &dob, &rob, &eo);
    ASSERT_GE(status, 0);
    const SunPlace want{erfaToOurAzimuth(aob), 90 - zob * ERFA_DR2D};
    const SunPlace got = sunPosition(utc, phi, lambda);
    const double off = separationDeg(want.azDeg, want.altDeg, got.azDeg, got.altDeg);
    worst = std::fmax(worst, off);
    ASSERT_LT(off, 0.05) << "MJD " << utc << " lat " << phi << " lon " << lambda << ": want az " << want.azDeg
                         << " alt " << want.altDeg << ", got az " << got.azDeg << " alt " << got.altDeg;
  }
  std::printf("largest separation from ERFA: %.4f degrees\n", worst);
}

TEST(SunPosition, CivilTextsAreUniversalTimePlusNineHours) {
  const struct {
    const char *date, *time;
    double mjd;
  } cases[] = {
      {"2000-01-01", "21:00:00", 51544.5},          // J2000.0
      {"2000-01-01", "09:00:00", 51544.0},          // 0 h UT
      {"2000-01-01", "08:59:59", 51544.0 - 1.0 / 86400},  // the day before in UT
      {"2026-12-07", "00:00:30", 61381 - 9.0 / 24 + 30.0 / 86400},  // 15:00:30 UT the day before
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(civilTextsToMjdUt(c.date, c.time), c.mjd, 1e-9) << c.date << " " << c.time;
  }
}

TEST(SunPosition, SeparationOfTwoDirections) {
  const struct {
    double az1, alt1, az2, alt2, want;
  } cases[] = {
      {10, 20, 10, 20, 0},  {0, 0, 180, 0, 180}, {0, 0, 90, 0, 90},   {123, 90, 0, 30, 60},
      {359, 0, 1, 0, 2},    {0, -10, 0, 20, 30}, {300, 45, 120, 45, 90},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(separationDeg(c.az1, c.alt1, c.az2, c.alt2), c.want, 1e-6)
        << c.az1 << "/" << c.alt1 << " to " << c.az2 << "/" << c.alt2;
  }
}

}  // namespace
}  // namespace vantrel
