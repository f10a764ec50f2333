// Against ERFA, the independent reference far from the worked examples:
// koudo_keisan_1950, and the Sun for the guard against pointing near it with
// its clock texts as Universal Time and the angle between two directions.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <erfa.h>
#include <erfam.h>
#include <random>

#include "astro/koudo_keisan_1950.h"
#include "astro/sun_position.h"

namespace vantrel {
namespace {

// ERFA's observed place without refraction (pressure 0), as our azimuth (from south through west) and altitude.
SunPlace observed(double aob, double zob) {
  return {std::fmod(aob * ERFA_DR2D + 540.0, 360.0), 90 - zob * ERFA_DR2D};
}

// koudo_keisan_1950 against a rigorous computation by ERFA: the B1950 (FK4) position to J2000 (FK5) by
// eraFk45z, then to the observed place of the date by eraApco13, eraAtciq and eraAtioq (precession,
// nutation, aberration, Earth rotation). The routine keeps 1950.0 positions unprecessed and reckons the
// sidereal time from the 1950 equinox, which leaves it some tenths of a degree from the true place in
// 2020-2030: the bound is 0.75 degrees of great circle at latitude 35. It does not precess, on purpose: one
// that came much closer to the true place would no longer give the positions it always gave.
TEST(KoudoKeisan1950Erfa, WithinThreeQuartersOfADegreeIn2020To2030) {
  std::mt19937_64 random(2026);
  std::uniform_int_distribution<int> year(2020, 2030), month(1, 12), day(1, 28), minute(0, 1439);
  std::uniform_real_distribution<double> ra(0, 360), sinDec(-1, 1);
  const double longitudes[] = {135.0, 139.7, -118.3, 0.0};
  double worst = 0;
  for (int instant = 0; instant < 400; ++instant) {
    char date[32], time[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", year(random), month(random), day(random));
    const int m = minute(random);
    std::snprintf(time, sizeof time, "%02d:%02d:00", m / 60, m % 60);
    const ClockSample sample = sampleClock(date, time);
    const double longitude = longitudes[instant % 4];
    // The clock shows UT + 9 h; UT1 - UTC is taken as 0 (under a second). The place of the instant is
    // prepared once for 50 positions; status +1 is a date beyond ERFA's leap-second table, still usable.
    const double utc = detail::siderealTrace(sample, longitude).T;
    eraASTROM astrom;
    double eo;
    ASSERT_GE(eraApco13(ERFA_DJM0, utc, 0, longitude * ERFA_DD2R, 35 * ERFA_DD2R, 0, 0, 0, 0, 0, 0, 0.55, &astrom, &eo),
              0);
    for (int k = 0; k < 50; ++k) {
      const double inRa = ra(random), inDec = std::asin(sinDec(random)) * ERFA_DR2D;
      const HorizontalPosition got = koudo_keisan_1950(inRa, inDec, 35.0, longitude, sample);
      // Next to due east or west the altitude goes through the single-precision azimuth and loses accuracy
      // on purpose: not bounded.
      if (std::fabs(std::remainder(got.outAz - 90.0, 180.0)) < 0.01) continue;
      double ra2000, dec2000, ri, di, aob, zob, hob, dob, rob;
      eraFk45z(inRa * ERFA_DD2R, inDec * ERFA_DD2R, eraEpb(ERFA_DJM0, utc), &ra2000, &dec2000);
      eraAtciq(ra2000, dec2000, 0, 0, 0, 0, &astrom, &ri, &di);
      eraAtioq(ri, di, &astrom, &aob, &zob, &hob, &dob, &rob);
      const SunPlace want = observed(aob, zob);
      const double separation = separationDeg(want.azDeg, want.altDeg, got.outAz, got.outAlt);
      ASSERT_LE(separation, 0.75) << "ra " << inRa << " dec " << inDec << " " << date << " " << time << " longitude "
                                  << longitude << ": ERFA az " << want.azDeg << " alt " << want.altDeg << ", ours az "
                                  << got.outAz << " alt " << got.outAlt;
      worst = std::max(worst, separation);
    }
  }
  std::printf("largest separation from ERFA: %.4f degrees\n", worst);
  EXPECT_GT(worst, 0.3) << "want a largest separation above 0.3 degrees, got " << worst;
}

// The Sun's low-precision formula against ERFA's rigorous place (eraEpv00 for the Earth, then eraAtco13);
// TT and UTC are not told apart: 70 s is 0.001 degree of the Sun.
TEST(SunPosition, WithinTwentiethOfADegreeOfErfa1990To2060) {
  std::mt19937_64 random(10);
  std::uniform_real_distribution<double> mjd(47892, 73415), latitude(-60, 60), longitude(-180, 180);
  for (int k = 0; k < 500; ++k) {
    const double utc = mjd(random), phi = latitude(random), lambda = longitude(random);
    double pvh[2][3], pvb[2][3], sunRa, sunDec, aob, zob, hob, dob, rob, eo;
    eraEpv00(ERFA_DJM0, utc, pvh, pvb);
    eraC2s(std::array<double, 3>{-pvh[0][0], -pvh[0][1], -pvh[0][2]}.data(), &sunRa, &sunDec);
    ASSERT_GE(eraAtco13(sunRa, sunDec, 0, 0, 0, 0, ERFA_DJM0, utc, 0, lambda * ERFA_DD2R, phi * ERFA_DD2R, 0, 0, 0,
                        0, 0, 0, 0.55, &aob, &zob, &hob, &dob, &rob, &eo),
              0);
    const SunPlace want = observed(aob, zob), got = sunPosition(utc, phi, lambda);
    ASSERT_LT(separationDeg(want.azDeg, want.altDeg, got.azDeg, got.altDeg), 0.05)
        << "MJD " << utc << " lat " << phi << " lon " << lambda << ": want az " << want.azDeg << " alt "
        << want.altDeg << ", got az " << got.azDeg << " alt " << got.altDeg;
  }
}

// The clock texts are Universal Time + 9 h: J2000.0, 0 h UT, the day before in UT, 15:00:30 UT the day
// before. Then the angle between two directions.
TEST(SunPosition, CivilTextsAndSeparationOfTwoDirections) {
  const struct {
    const char *date, *time;
    double mjd;
  } texts[] = {
      {"2000-01-01", "21:00:00", 51544.5},
      {"2000-01-01", "09:00:00", 51544.0},
      {"2000-01-01", "08:59:59", 51544.0 - 1.0 / 86400},
      {"2026-12-07", "00:00:30", 61381 - 9.0 / 24 + 30.0 / 86400},
  };
  for (const auto& c : texts) EXPECT_NEAR(civilTextsToMjdUt(c.date, c.time), c.mjd, 1e-9) << c.date << " " << c.time;
  const double cases[][5] = {{10, 20, 10, 20, 0}, {0, 0, 180, 0, 180}, {0, 0, 90, 0, 90},     {123, 90, 0, 30, 60},
                             {359, 0, 1, 0, 2},   {0, -10, 0, 20, 30}, {300, 45, 120, 45, 90}};
  for (const auto& [az1, alt1, az2, alt2, want] : cases)
    EXPECT_NEAR(separationDeg(az1, alt1, az2, alt2), want, 1e-6) << az1 << "/" << alt1 << " to " << az2 << "/" << alt2;
}

}  // namespace
}  // namespace vantrel
