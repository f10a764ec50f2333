// Tests of the positions beyond the worked rows of the astro-worked-positions scenario, at many instants:
// PositionPass row for row against koudo_keisan_1950, bit for bit; ERFA, the independent reference far from
// the worked examples, for the routine and for the Sun of the guard against pointing near it; and every
// day number from the year 0 to 2100.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <erfa.h>
#include <erfam.h>
#include <numbers>
#include <random>
#include <vector>

#include "astro/koudo_keisan_1950.h"
#include "astro/position_pass.h"
#include "astro/sun_position.h"

namespace vantrel {
namespace {

constexpr double pi = std::numbers::pi;
std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// ERFA's observed place without refraction (pressure 0) of a J2000 place from the place of the instant
// prepared by eraApco13, as our azimuth (from south through west) and altitude.
SunPlace observed(eraASTROM& astrom, double ra2000, double dec2000) {
  double ri, di, aob, zob, hob, dob, rob;
  eraAtciq(ra2000, dec2000, 0, 0, 0, 0, &astrom, &ri, &di);
  eraAtioq(ri, di, &astrom, &aob, &zob, &hob, &dob, &rob);
  return {std::fmod(aob * ERFA_DR2D + 540.0, 360.0), 90 - zob * ERFA_DR2D};
}

// 600 instants of 2020-2030, each a pass over up to 2700 rows.
// The pass: every row's azimuth and altitude bits are the routine's. Between passes rows change (new
// values, one unit in the last place, the sign of a zero), the table grows and shrinks, 368 rows follow the
// meridian and its opposite at hour angles from 1e-9 to 1.5 degrees, and the site changes every 20 passes,
// once by one unit of the latitude: the rows kept between passes must follow all of it. The first site lies
// on the equator, whose latitude has the bits of a pass not yet built for any. Of the million rows many
// azimuths fall within the approximation's margin of a float rounding boundary, where the pass must fall
// back to the arctangent.
// The pass states the routine's arithmetic a second time, in its own order of work, and the two are
// compiled apart: a reordered sum or product in either (phi, X, Sn) moves a last bit in one only. The
// fourth site takes a new random latitude and longitude at each of its instants.
// ERFA: the routine at the site for 50 rows against the B1950 (FK4) position taken to J2000 (FK5) by
// eraFk45z and observed with precession, nutation, aberration and Earth rotation. The routine keeps 1950.0
// positions unprecessed and reckons the sidereal time from the 1950 equinox, which leaves it some tenths of
// a degree from the true place, the same at every latitude: within 0.75 degrees (it does not precess, on
// purpose: the scenario's golden rows keep the positions it always gave). The Sun's low-precision formula at
// the site against the Earth of eraEpv00, within 0.05 degrees (TT and UTC are not told apart: 70 s is
// 0.001 degree of the Sun).
TEST(Positions, PassAndErfaAtManyInstants) {
  std::mt19937_64 random(4);
  std::uniform_real_distribution<double> ra(0, 360), dec(-90, 90), longitude(-180, 180);
  std::uniform_int_distribution<std::size_t> row(0, 2699);
  std::uniform_int_distribution<int> year(2020, 2030), month(1, 12), day(1, 28), hour(0, 23), minute(0, 59);
  std::vector<double> raDeg(2700), decDeg(2700), alt(2700);
  std::vector<float> az(2700);
  for (std::size_t i = 0; i < 2700; ++i) {
    raDeg[i] = i % 89 == 0 ? std::round(ra(random)) : ra(random);
    decDeg[i] = i % 97 == 0 ? std::round(dec(random)) : dec(random);  // whole degrees, the poles, 0
  }
  decDeg[1] = 90, decDeg[2] = -90;
  double sites[][2] = {{0.0, -70.4}, {35.0, 135.0}, {35.000000000000007, 135.0}, {-33.93, 18.47}, {89.5, -0.0}};
  PositionPass pass;
  for (int instant = 0; instant < 600; ++instant) {
    if (instant / 20 % 5 == 3) sites[3][0] = dec(random), sites[3][1] = longitude(random);
    const double lat = sites[instant / 20 % 5][0], lon = sites[instant / 20 % 5][1];
    char date[32], time[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", year(random), month(random), day(random));
    std::snprintf(time, sizeof time, "%02d:%02d:00", hour(random), minute(random));
    const ClockSample s = sampleClock(date, time);
    const std::string when = s.cycleDateText + " " + s.cycleTimeText;
    const double meridian = localSiderealAngle(s, lon) / pi * 180;
    for (std::size_t i = 0; i < 368; ++i)
      raDeg[8 + i] = meridian + (i % 4) * 180.0 - 180 + (i / 4 % 2 ? 1 : -1) * 1e-9 * std::pow(1.6, i / 8);
    decDeg[3] = instant % 2 ? -0.0 : 0.0;
    const std::size_t count = instant % 5 == 4 ? 2 : instant % 5 == 3 ? 1801 : 2700;
    pass.compute(raDeg.data(), decDeg.data(), count, lat, lon, s, az.data(), alt.data());
    for (std::size_t i = 0; i < count; ++i) {
      const HorizontalPosition want = koudo_keisan_1950(raDeg[i], decDeg[i], lat, lon, s);
      ASSERT_TRUE(az[i] == want.outAz && bits(alt[i]) == bits(want.outAlt))
          << "row " << i << " ra " << raDeg[i] << " dec " << decDeg[i] << " lat " << lat << " " << when
          << ": want az " << want.outAz << " alt " << want.outAlt << ", got az " << az[i] << " alt " << alt[i];
    }
    // UT1 - UTC is taken as 0 (under a second); status +1 is a date beyond ERFA's leap-second table.
    const double utc = civilTextsToMjdUt(s.cycleDateText, s.cycleTimeText, s.zoneOffsetDays);
    eraASTROM atSite;
    double eo, pvh[2][3], pvb[2][3], ra2000, dec2000;
    ASSERT_GE(eraApco13(ERFA_DJM0, utc, 0, lon * ERFA_DD2R, lat * ERFA_DD2R, 0, 0, 0, 0, 0, 0, 0.55, &atSite, &eo), 0);
    for (int k = 0; k < 50; ++k) {
      const std::size_t i = row(random);
      const HorizontalPosition got = koudo_keisan_1950(raDeg[i], decDeg[i], lat, lon, s);
      // Next to due east or west the altitude goes through the single-precision azimuth and loses accuracy
      // on purpose: not bounded.
      if (std::fabs(std::remainder(got.outAz - 90.0, 180.0)) < 0.01) continue;
      eraFk45z(raDeg[i] * ERFA_DD2R, decDeg[i] * ERFA_DD2R, eraEpb(ERFA_DJM0, utc), &ra2000, &dec2000);
      const SunPlace want = observed(atSite, ra2000, dec2000);
      ASSERT_LE(separationDeg(want.azDeg, want.altDeg, got.outAz, got.outAlt), 0.75)
          << "row " << i << " ra " << raDeg[i] << " dec " << decDeg[i] << " " << when << " lon " << lon
          << ": ERFA az " << want.azDeg << " alt " << want.altDeg << ", ours az " << got.outAz << " alt " << got.outAlt;
    }
    eraEpv00(ERFA_DJM0, utc, pvh, pvb);
    eraC2s(pvh[0], &ra2000, &dec2000);  // the Earth from the Sun: the Sun lies opposite
    const SunPlace want = observed(atSite, ra2000 + ERFA_DPI, -dec2000), got = sunPosition(utc, lat, lon);
    ASSERT_LT(separationDeg(want.azDeg, want.altDeg, got.azDeg, got.altDeg), 0.05)
        << when << " lat " << lat << " lon " << lon << ": want az " << want.azDeg << " alt " << want.altDeg
        << ", got az " << got.azDeg << " alt " << got.altDeg;
    for (int k = 0; k < 300; ++k) {
      const std::size_t i = row(random);
      if (k % 2 == 0) raDeg[i] = k % 4 == 0 ? ra(random) : std::nextafter(raDeg[i], -1.0);
      if (k % 2 == 1) decDeg[i] = k % 4 == 1 ? dec(random) : std::nextafter(decDeg[i], 100.0);
    }
  }
}

// Each day, Julian to 1582-10-04 and Gregorian from 1582-10-15, is one more than the day before: with the
// worked anchor of the scenario that pins every day from the year 0 to 2100.
TEST(ModifiedJulianDay, EveryDayFollowsTheDayBefore) {
  static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  double previous = modifiedJulianDay(0, 1, 1) - 1;
  for (int y = 0; y <= 2100; ++y) {
    const bool leap = y % 4 == 0 && (y <= 1582 || y % 100 != 0 || y % 400 == 0);
    for (int m = 1; m <= 12; ++m)
      for (int d = 1; d <= monthDays[m - 1] + (m == 2 && leap); d += y == 1582 && m == 10 && d == 4 ? 11 : 1)
        ASSERT_EQ(modifiedJulianDay(y, m, d), ++previous) << y << "-" << m << "-" << d;
  }
}

}  // namespace
}  // namespace vantrel
