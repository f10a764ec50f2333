// Tests of koudo_keisan_1950 at the meridian, below the horizon, with X
// exactly 0 (due west, due east, zenith, nadir), and against plain spherical
// astronomy everywhere else.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>

#include "astro/koudo_keisan_1950.h"

namespace vantrel {
namespace {

constexpr double pi = std::numbers::pi;
constexpr double degree = pi / 180;

const ClockSample& sample() {
  static const ClockSample s = sampleClock("2024-03-15", "22:30:00");
  return s;
}

// A right ascension whose alpha equals theta exactly, so that H is 0.
double raOnTheMeridian(double siteLongitude) {
  const double theta = localSiderealAngle(sample(), siteLongitude);
  double ra = theta / pi * 180;
  for (int step = 0; step < 64; ++step) ra = std::nextafter(ra, 0.0);
  for (int step = 0; step < 128; ++step, ra = std::nextafter(ra, 360.0)) {
    if ((ra / 180) * pi == theta) return ra;
  }
  ADD_FAILURE() << "no right ascension gives H = 0 exactly";
  return 0;
}

TEST(KoudoKeisan1950Meridian, HourAngleZeroSouthOfZenithIs360) {
  const double ra = raOnTheMeridian(135.0);
  const detail::KoudoKeisanTrace t = detail::koudo_keisan_1950_trace(ra, 10.0, 35.0, 135.0, sample());
  ASSERT_EQ(t.H, 0.0);
  EXPECT_GT(t.X, 0.0);
  EXPECT_EQ(t.Y, 0.0);
  EXPECT_EQ(t.horizontal.A, 2 * pi) << "X > 0, Y <= 0: A0 + 2 pi";
  EXPECT_EQ(t.horizontal.outAz, 360.0f) << "want 360 got " << t.horizontal.outAz;
  EXPECT_NEAR(t.horizontal.outAlt, 65.0, 1e-9) << "90 - (35 - 10)";
}

TEST(KoudoKeisan1950Meridian, JustWestAndJustEast) {
  const double ra = raOnTheMeridian(135.0);
  const HorizontalPosition west = koudo_keisan_1950(ra - 0.01, 10.0, 35.0, 135.0, sample());
  EXPECT_GT(west.outAz, 0.0f);
  EXPECT_LT(west.outAz, 0.1f) << "a small positive azimuth";
  const HorizontalPosition east = koudo_keisan_1950(ra + 0.01, 10.0, 35.0, 135.0, sample());
  EXPECT_GT(east.outAz, 359.9f) << "an azimuth just under 360";
  EXPECT_LT(east.outAz, 360.0f);
  EXPECT_NEAR(west.outAlt, 65.0, 1e-4);
  EXPECT_NEAR(east.outAlt, 65.0, 1e-4);
}

TEST(KoudoKeisan1950Meridian, BelowTheHorizon) {
  // Lower transit of a position at +20: 35 + 20 - 90 = -35, due north.
  const double ra = raOnTheMeridian(135.0) - 180;
  const HorizontalPosition lower = koudo_keisan_1950(ra, 20.0, 35.0, 135.0, sample());
  EXPECT_NEAR(lower.outAlt, -35.0, 1e-9);
  EXPECT_NEAR(lower.outAz, 180.0f, 1e-4);
  // A position at -70 never rises at 35 north: at most 90 - 35 - 70 = -15.
  for (double hour = -11; hour <= 12; hour += 1) {
    const HorizontalPosition p =
        koudo_keisan_1950(raOnTheMeridian(135.0) - 15 * hour, -70.0, 35.0, 135.0, sample());
    EXPECT_LE(p.outAlt, -15.0 + 1e-9) << "hour angle " << hour << " h";
    EXPECT_GE(p.outAlt, -90.0);
  }
}

// At latitude 0 a position at declination 0 lies on the prime vertical:
// X is exactly 0 at every hour angle.
TEST(KoudoKeisan1950ZeroX, DueWestAndDueEast) {
  const double ra = raOnTheMeridian(135.0);
  struct Case {
    const char* description;
    double raOffset;  // degrees; H = -raOffset
    float outAz;
  };
  const Case cases[] = {{"west, H = 30 deg", -30, 90.0f},
                        {"east, H = -30 deg", 30, 270.0f},
                        {"west, H = 100 deg", -100, 90.0f},
                        {"east, H = -170 deg", 170, 270.0f}};
  for (const Case& c : cases) {
    const detail::KoudoKeisanTrace t =
        detail::koudo_keisan_1950_trace(ra + c.raOffset, 0.0, 0.0, 135.0, sample());
    ASSERT_EQ(t.X, 0.0) << c.description;
    EXPECT_EQ(t.horizontal.outAz, c.outAz)
        << c.description << ": want " << c.outAz << " got " << t.horizontal.outAz;
    EXPECT_EQ(t.horizontal.C, std::fabs(t.Y)) << c.description << ": C = |Y|";
    EXPECT_NEAR(t.horizontal.outAlt, 90 - std::fabs(c.raOffset), 1e-9) << c.description;
  }
}

TEST(KoudoKeisan1950ZeroX, ZenithAndNadir) {
  const detail::KoudoKeisanTrace t =
      detail::koudo_keisan_1950_trace(raOnTheMeridian(135.0), 0.0, 0.0, 135.0, sample());
  ASSERT_EQ(t.X, 0.0);
  ASSERT_EQ(t.Y, 0.0);
  EXPECT_EQ(t.horizontal.outAz, 360.0f);
  EXPECT_EQ(t.horizontal.outAlt, 90.0);
  // The nadir cannot be reached with X and Y both exactly 0 from real
  // inputs; the step from the components is checked directly.
  const detail::AzimuthAltitude nadir = detail::azimuthAltitude(0.0, 0.0, -1.0);
  EXPECT_EQ(nadir.outAz, 360.0f);
  EXPECT_EQ(nadir.outAlt, -90.0);
  const detail::AzimuthAltitude negativeZero = detail::azimuthAltitude(-0.0, -0.0, 1.0);
  EXPECT_EQ(negativeZero.outAz, 360.0f);
  EXPECT_EQ(negativeZero.outAlt, 90.0);
}

// No NaN from any finite input: poles, equator, zeros of both signs.
TEST(KoudoKeisan1950ZeroX, NeverNaN) {
  const double ra = raOnTheMeridian(135.0);
  const double decs[] = {-90, -45, -0.0, 0, 45, 90};
  const double lats[] = {-90, -35, -0.0, 0, 35, 90};
  const double offsets[] = {-180, -90, -1e-9, 0, 1e-9, 90, 180};
  for (double dec : decs) {
    for (double lat : lats) {
      for (double offset : offsets) {
        const HorizontalPosition p = koudo_keisan_1950(ra + offset, dec, lat, 135.0, sample());
        EXPECT_FALSE(std::isnan(p.outAz)) << "dec " << dec << " lat " << lat << " offset " << offset;
        EXPECT_FALSE(std::isnan(p.outAlt)) << "dec " << dec << " lat " << lat << " offset " << offset;
        EXPECT_GT(p.outAz, 0.0f);
        EXPECT_LE(p.outAz, 360.0f);
      }
    }
  }
}

// Everywhere else the routine is spherical astronomy with one deviation: the
// altitude goes through cos(As). |As - A| is at most half a float step (2.4e-7
// rad), which moves the altitude by at most |sin h cos h tan A| (As - A); the
// azimuth is off by that and the rounding of outAz (about 1.5e-5 degrees).
TEST(KoudoKeisan1950Sphere, AgreesWithSphericalAstronomy) {
  std::mt19937_64 random(35);
  std::uniform_real_distribution<double> ra(0, 360), sinDec(-1, 1), lat(-89, 89), minute(0, 1440 * 365 * 10);
  for (int i = 0; i < 20000; ++i) {
    const int m = static_cast<int>(minute(random));
    char date[16], time[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", 2020 + m / (1440 * 365), 1 + m / 1440 % 12,
                  1 + m / 1440 % 28);
    std::snprintf(time, sizeof time, "%02d:%02d:00", m / 60 % 24, m % 60);
    const ClockSample s = sampleClock(date, time);
    const double inRa = ra(random), inDec = std::asin(sinDec(random)) / degree, phiDeg = lat(random);
    const HorizontalPosition p = koudo_keisan_1950(inRa, inDec, phiDeg, 135.0, s);

    const double H = localSiderealAngle(s, 135.0) - inRa * degree, d = inDec * degree, phi = phiDeg * degree;
    const double alt = std::asin(std::sin(phi) * std::sin(d) + std::cos(phi) * std::cos(d) * std::cos(H));
    double az = std::atan2(std::cos(d) * std::sin(H),
                           -std::sin(d) * std::cos(phi) + std::sin(phi) * std::cos(d) * std::cos(H));
    if (az <= 0) az += 2 * pi;
    const double altBound = std::fabs(std::sin(alt) * std::cos(alt) * std::tan(az)) * 2.4e-7 + 1e-12;
    ASSERT_NEAR(p.outAlt, alt / degree, altBound / degree * 1.01 + 1e-10)
        << "ra " << inRa << " dec " << inDec << " lat " << phiDeg << " " << date << " " << time;
    const double azError = std::remainder(p.outAz - az / degree, 360.0);
    ASSERT_NEAR(azError, 0.0, 3e-5) << "ra " << inRa << " dec " << inDec << " lat " << phiDeg << " " << date
                                    << " " << time;
  }
}

}  // namespace
}  // namespace vantrel
