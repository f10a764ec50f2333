// koudo_keisan_1950 against a rigorous computation by ERFA, far from the
// worked examples: the B1950 (FK4) position to J2000 (FK5) by eraFk45z, then
// to the observed place of the date by eraApco13, eraAtciq and eraAtioq
// (precession, nutation, aberration, Earth rotation; no refraction: the
// pressure is 0).
//
// The routine keeps 1950.0 positions unprecessed and reckons the sidereal
// time from the 1950 equinox, which leaves it some tenths of a degree from
// the true place in 2020-2030. The bound is 0.75 degrees of great circle at
// latitude 35; the largest separation found is printed.
#include <erfa.h>
#include <erfam.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "astro/koudo_keisan_1950.h"

namespace vantrel {
namespace {

TEST(KoudoKeisan1950Erfa, WithinThreeQuartersOfADegreeIn2020To2030) {
  std::mt19937_64 random(2026);
  std::uniform_int_distribution<int> year(2020, 2030), month(1, 12), day(1, 28), minute(0, 1439);
  std::uniform_real_distribution<double> ra(0, 360), sinDec(-1, 1);
  const double longitudes[] = {135.0, 139.7, -118.3, 0.0};
  const double latitude = 35.0;
  double worst = 0;
  int besideEastOrWest = 0;
  for (int instant = 0; instant < 400; ++instant) {
    char date[16], time[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", year(random), month(random), day(random));
    const int m = minute(random);
    std::snprintf(time, sizeof time, "%02d:%02d:00", m / 60, m % 60);
    const ClockSample sample = sampleClock(date, time);
    const double longitude = longitudes[instant % 4];

    // The clock shows UT + 9 h; UT1 - UTC is taken as 0 (under a second).
    // The place of the instant is prepared once and used for 50 positions.
    const double utc = detail::siderealTrace(sample, longitude).T;
    eraASTROM astrom;
    double eo;
    const int status = eraApco13(ERFA_DJM0, utc, 0.0, longitude * ERFA_DD2R, latitude * ERFA_DD2R, 0, 0, 0, 0,
                                 0, 0, 0.55, &astrom, &eo);
    ASSERT_GE(status, 0) << date;  // +1: a date beyond ERFA's leap-second table, still usable
    const double epoch = eraEpb(ERFA_DJM0, utc);

    for (int k = 0; k < 50; ++k) {
      const double inRa = ra(random), inDec = std::asin(sinDec(random)) * ERFA_DR2D;
      const HorizontalPosition got = koudo_keisan_1950(inRa, inDec, latitude, longitude, sample);
      // Next to due east or west the altitude goes through the single-
      // precision azimuth and loses accuracy on purpose: counted, not bounded.
      if (std::fabs(std::remainder(got.outAz - 90.0, 180.0)) < 0.01) {
        ++besideEastOrWest;
        continue;
      }
      double ra2000, dec2000, ri, di, aob, zob, hob, dob, rob;
      eraFk45z(inRa * ERFA_DD2R, inDec * ERFA_DD2R, epoch, &ra2000, &dec2000);
      eraAtciq(ra2000, dec2000, 0, 0, 0, 0, &astrom, &ri, &di);
      eraAtioq(ri, di, &astrom, &aob, &zob, &hob, &dob, &rob);
      // Ours from south through west; ERFA's from north through east.
      const double ourAzimuthNorth = (static_cast<double>(got.outAz) + 180) * ERFA_DD2R;
      const double separation =
          eraSeps(ourAzimuthNorth, got.outAlt * ERFA_DD2R, aob, ERFA_DPI / 2 - zob) * ERFA_DR2D;
      ASSERT_LE(separation, 0.75) << "ra " << inRa << " dec " << inDec << " " << date << " " << time
                                  << " longitude " << longitude << ": ERFA az " << aob * ERFA_DR2D << " alt "
                                  << 90 - zob * ERFA_DR2D << ", ours az " << got.outAz << " alt "
                                  << got.outAlt;
      worst = std::max(worst, separation);
    }
  }
  std::printf(
      "largest separation from ERFA: %.4f degrees over %d positions (%d beside east or west skipped)\n",
      worst, 400 * 50 - besideEastOrWest, besideEastOrWest);
  // The routine does not precess, on purpose: one that came much closer to
  // the true place would no longer give the positions it always gave.
  EXPECT_GT(worst, 0.3) << "want a largest separation above 0.3 degrees, got " << worst;
}

}  // namespace
}  // namespace vantrel
