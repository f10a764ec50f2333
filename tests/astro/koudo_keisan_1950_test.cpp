// Tests of the positions beyond the worked rows of the astro-worked-positions scenario: a transcription of
// koudo_keisan_1950's formulas that rounds after every operation, PositionPass row for row against the
// routine, every day number from the year 0 to 2100, and ERFA, the independent reference far from the
// worked examples, for the routine and for the Sun of the guard against pointing near it.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <erfa.h>
#include <erfam.h>
#include <iomanip>
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

// The clock at a whole minute of a day from firstYear to lastYear.
ClockSample randomSample(std::mt19937_64& random, int firstYear, int lastYear) {
  std::uniform_int_distribution<int> year(firstYear, lastYear), month(1, 12), day(1, 28), minute(0, 1439);
  char date[32], time[32];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", year(random), month(random), day(random));
  const int m = minute(random);
  std::snprintf(time, sizeof time, "%02d:%02d:00", m / 60, m % 60);
  return sampleClock(date, time);
}

// The formulas step by step, every intermediate forced through a volatile so that this transcription
// rounds after each operation whatever the compiler flags. The routine must give the same bits: a fused
// multiply-add or a reordered sum in the library shows up here.
TEST(KoudoKeisan1950, EveryStepRoundsInTheOrderWritten) {
  const auto r = [](double v) -> double { volatile double stored = v; return stored; };
  std::mt19937_64 random(1950);
  std::uniform_real_distribution<double> ra(0, 360), dec(-90, 90);
  const ClockSample sample = sampleClock("2027-08-09", "01:44:00");
  for (int i = 0; i < 100000; ++i) {
    const double inRa = ra(random), inDec = dec(random), lat = dec(random);
    const detail::KoudoKeisanTrace t = detail::koudo_keisan_1950_trace(inRa, inDec, lat, 135.0, sample);
    const HorizontalPosition p = koudo_keisan_1950(inRa, inDec, lat, 135.0, sample);
    const double alpha = r(r(inRa / 180) * pi), delta = r(r(inDec / 180) * pi), phi = r(r(lat * pi) / 180);
    const double H = r(t.sidereal.theta - alpha);
    const double sd = std::sin(delta), cd = std::cos(delta), sp = std::sin(phi), cp = std::cos(phi);
    const double X = r(r(-sd * cp) + r(r(sp * cd) * std::cos(H))), Y = r(cd * std::sin(H));
    const double Sn = r(r(sd * sp) + r(r(cp * cd) * std::cos(H)));
    const double A0 = std::atan(r(Y / X)), A = X > 0 && Y > 0 ? A0 : X > 0 ? r(A0 + 2 * pi) : r(A0 + pi);
    const double As = static_cast<float>(A), C = r(X / std::cos(As)), h = std::atan(r(Sn / C));
    const double want[] = {phi, H, X, Y, Sn, A, C, r(r(h * 180) / pi), static_cast<float>(r(r(As * 180) / pi))};
    const double got[] = {t.phi, t.H, t.X, t.Y, t.Sn, t.horizontal.A, t.horizontal.C, p.outAlt, p.outAz};
    for (std::size_t k = 0; k < std::size(want); ++k)
      ASSERT_EQ(bits(got[k]), bits(want[k])) << std::setprecision(17) << "value " << k << " (phi H X Y Sn A C "
                                             << "outAlt outAz) for ra " << inRa << " dec " << inDec << " lat " << lat;
  }
}

// Passes over 600 instants, every row against the plain routine by its azimuth and altitude bits. Between
// passes rows change (new values, one unit in the last place, the sign of a zero), the table grows and
// shrinks, 368 rows follow the meridian and its opposite at hour angles from 1e-9 to 1.5 degrees, and the
// site changes every 20 passes, once by one unit of the latitude: the rows kept between passes must follow
// all of it. The first site lies on the equator, whose latitude has the bits of a pass not yet built for any.
// Of the million rows many azimuths fall within the approximation's margin of a float rounding boundary,
// where the pass must fall back to the arctangent.
TEST(PositionPass, BitIdenticalToTheRoutine) {
  std::mt19937_64 random(4);
  std::uniform_real_distribution<double> ra(0, 360), dec(-90, 90);
  std::uniform_int_distribution<std::size_t> row(0, 2699);
  std::vector<double> raDeg(2700), decDeg(2700), alt(2700);
  std::vector<float> az(2700);
  for (std::size_t i = 0; i < 2700; ++i) {
    raDeg[i] = i % 89 == 0 ? std::round(ra(random)) : ra(random);
    decDeg[i] = i % 97 == 0 ? std::round(dec(random)) : dec(random);  // whole degrees, the poles, 0
  }
  decDeg[1] = 90, decDeg[2] = -90;
  const double sites[][2] = {{0.0, -70.4}, {35.0, 135.0}, {35.000000000000007, 135.0}, {-33.93, 18.47}, {89.5, -0.0}};
  PositionPass pass;
  for (int instant = 0; instant < 600; ++instant) {
    const double lat = sites[instant / 20 % 5][0], lon = sites[instant / 20 % 5][1];
    const ClockSample s = randomSample(random, 2000, 2050);
    const double meridian = localSiderealAngle(s, lon) / pi * 180;
    for (std::size_t i = 0; i < 368; ++i)
      raDeg[8 + i] = meridian + (i % 4) * 180.0 - 180 + (i / 4 % 2 ? 1 : -1) * 1e-9 * std::pow(1.6, i / 8);
    decDeg[3] = instant % 2 ? -0.0 : 0.0;
    const std::size_t count = instant % 5 == 4 ? 2 : instant % 5 == 3 ? 1801 : 2700;
    pass.compute(raDeg.data(), decDeg.data(), count, lat, lon, s, az.data(), alt.data());
    for (std::size_t i = 0; i < count; ++i) {
      const HorizontalPosition want = koudo_keisan_1950(raDeg[i], decDeg[i], lat, lon, s);
      ASSERT_TRUE(az[i] == want.outAz && bits(alt[i]) == bits(want.outAlt))
          << "row " << i << " ra " << raDeg[i] << " dec " << decDeg[i] << " lat " << lat << " " << s.cycleDateText
          << " " << s.cycleTimeText << ": want az " << want.outAz << " alt " << want.outAlt << ", got az " << az[i]
          << " alt " << alt[i];
    }
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

// ERFA's observed place without refraction (pressure 0) of a J2000 place from the place of the instant
// prepared by eraApco13, as our azimuth (from south through west) and altitude.
SunPlace observed(eraASTROM& astrom, double ra2000, double dec2000) {
  double ri, di, aob, zob, hob, dob, rob;
  eraAtciq(ra2000, dec2000, 0, 0, 0, 0, &astrom, &ri, &di);
  eraAtioq(ri, di, &astrom, &aob, &zob, &hob, &dob, &rob);
  return {std::fmod(aob * ERFA_DR2D + 540.0, 360.0), 90 - zob * ERFA_DR2D};
}

// At 400 instants of 2020-2030, 50 positions each and the Sun. koudo_keisan_1950 against the B1950 (FK4)
// position taken to J2000 (FK5) by eraFk45z and observed with precession, nutation, aberration and Earth
// rotation: the routine keeps 1950.0 positions unprecessed and reckons the sidereal time from the 1950
// equinox, which leaves it some tenths of a degree from the true place: within 0.75 degrees at latitude 35
// (it does not precess, on purpose: the scenario's golden rows keep the positions it always gave). The
// Sun's low-precision formula against the Earth of eraEpv00 anywhere within 60 degrees of the equator,
// within 0.05 degrees (TT and UTC are not told apart: 70 s is 0.001 degree of the Sun).
TEST(Erfa, KoudoKeisan1950AndTheSun) {
  std::mt19937_64 random(2026);
  std::uniform_real_distribution<double> ra(0, 360), sinDec(-1, 1), latitude(-60, 60), longitude(-180, 180);
  for (int instant = 0; instant < 400; ++instant) {
    const ClockSample sample = randomSample(random, 2020, 2030);
    const double lon = longitude(random), lat = latitude(random);
    const double utc = civilTextsToMjdUt(sample.cycleDateText, sample.cycleTimeText);
    const std::string when = sample.cycleDateText + " " + sample.cycleTimeText;
    // UT1 - UTC is taken as 0 (under a second); status +1 is a date beyond ERFA's leap-second table.
    eraASTROM at35, atLat;
    double eo;
    ASSERT_GE(eraApco13(ERFA_DJM0, utc, 0, lon * ERFA_DD2R, 35 * ERFA_DD2R, 0, 0, 0, 0, 0, 0, 0.55, &at35, &eo), 0);
    ASSERT_GE(eraApco13(ERFA_DJM0, utc, 0, lon * ERFA_DD2R, lat * ERFA_DD2R, 0, 0, 0, 0, 0, 0, 0.55, &atLat, &eo), 0);
    for (int k = 0; k < 50; ++k) {
      const double inRa = ra(random), inDec = std::asin(sinDec(random)) * ERFA_DR2D;
      const HorizontalPosition got = koudo_keisan_1950(inRa, inDec, 35.0, lon, sample);
      // Next to due east or west the altitude goes through the single-precision azimuth and loses accuracy
      // on purpose: not bounded.
      if (std::fabs(std::remainder(got.outAz - 90.0, 180.0)) < 0.01) continue;
      double ra2000, dec2000;
      eraFk45z(inRa * ERFA_DD2R, inDec * ERFA_DD2R, eraEpb(ERFA_DJM0, utc), &ra2000, &dec2000);
      const SunPlace want = observed(at35, ra2000, dec2000);
      ASSERT_LE(separationDeg(want.azDeg, want.altDeg, got.outAz, got.outAlt), 0.75)
          << "ra " << inRa << " dec " << inDec << " " << when << " lon " << lon << ": ERFA az " << want.azDeg
          << " alt " << want.altDeg << ", ours az " << got.outAz << " alt " << got.outAlt;
    }
    double pvh[2][3], pvb[2][3], sunRa, sunDec;
    eraEpv00(ERFA_DJM0, utc, pvh, pvb);
    eraC2s(std::array<double, 3>{-pvh[0][0], -pvh[0][1], -pvh[0][2]}.data(), &sunRa, &sunDec);
    const SunPlace want = observed(atLat, sunRa, sunDec), got = sunPosition(utc, lat, lon);
    ASSERT_LT(separationDeg(want.azDeg, want.altDeg, got.azDeg, got.altDeg), 0.05)
        << when << " lat " << lat << " lon " << lon << ": want az " << want.azDeg << " alt " << want.altDeg
        << ", got az " << got.azDeg << " alt " << got.altDeg;
  }
}

}  // namespace
}  // namespace vantrel
