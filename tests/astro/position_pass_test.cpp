// Tests of PositionPass: row for row the bits of koudo_keisan_1950, also for
// rows that change between passes, and the pieces it relies on (sincos, the
// single-precision azimuth without atan).
#include "astro/position_pass.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "astro/koudo_keisan_1950.h"

namespace vantrel {
namespace {

constexpr double pi = std::numbers::pi;

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }
std::uint32_t bits(float v) { return std::bit_cast<std::uint32_t>(v); }

// The pass takes sin H and cos H from one sincos call.
TEST(PositionPassParts, SincosGivesTheBitsOfSinAndCos) {
  std::mt19937_64 random(1);
  std::uniform_real_distribution<double> hourAngle(-2 * pi, 2 * pi);
  std::vector<double> values = {0.0, -0.0, pi, -pi, pi / 2, -pi / 2, 2 * pi, 0.855469, 2.426265, 1e-300};
  for (int i = 0; i < 1000000; ++i) values.push_back(hourAngle(random));
  for (double H : values) {
    double s, c;
    ::sincos(H, &s, &c);
    // Through volatile, so the compiler cannot merge these into sincos.
    volatile double argument = H;
    const double separateSin = std::sin(argument), separateCos = std::cos(argument);
    ASSERT_EQ(bits(s), bits(separateSin)) << "H " << H << ": sin want " << separateSin << " got " << s;
    ASSERT_EQ(bits(c), bits(separateCos)) << "H " << H << ": cos want " << separateCos << " got " << c;
  }
}

float exactAs(double X, double Y) { return detail::azimuthAltitude(X, Y, 0.5).As; }

void expectAzimuthsExact(const std::vector<double>& X, const std::vector<double>& Y, const char* what) {
  std::vector<float> got(X.size());
  detail::singlePrecisionAzimuths(X.data(), Y.data(), X.size(), got.data());
  for (std::size_t i = 0; i < X.size(); ++i) {
    const float want = exactAs(X[i], Y[i]);
    ASSERT_EQ(bits(got[i]), bits(want))
        << what << " row " << i << " X " << X[i] << " Y " << Y[i] << ": want " << want << " got " << got[i];
  }
}

// Random components of every size and sign, zeros, and non-finite values.
TEST(PositionPassParts, SinglePrecisionAzimuthIsExact) {
  std::mt19937_64 random(2);
  std::uniform_real_distribution<double> unit(-1, 1), exponent(-300, 300);
  std::vector<double> X, Y;
  for (int i = 0; i < 1000001; ++i) {  // an odd count: the last row is alone
    X.push_back(unit(random));
    Y.push_back(unit(random));
    if (i % 5 == 0) X.back() *= std::pow(10.0, exponent(random));
    if (i % 7 == 0) Y.back() *= std::pow(10.0, exponent(random));
  }
  const double unusual[] = {0.0,
                            -0.0,
                            1.0,
                            -1.0,
                            1e-310,
                            -1e-310,
                            5e-324,
                            1e308,
                            -1.5e308,
                            std::numeric_limits<double>::max(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN()};
  for (double x : unusual) {
    for (double y : unusual) {
      X.push_back(x);
      Y.push_back(y);
    }
  }
  expectAzimuthsExact(X, Y, "random");
}

// Azimuths placed next to float rounding boundaries, where the approximation
// cannot decide and the exact arctangent must be taken.
TEST(PositionPassParts, SinglePrecisionAzimuthNextToRoundingBoundaries) {
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> angle(1e-3, 2 * pi);
  std::vector<double> X, Y;
  for (int i = 0; i < 100000; ++i) {
    const float f = static_cast<float>(angle(random));
    const double midpoint = (static_cast<double>(f) + static_cast<double>(std::nextafter(f, 10.0f))) / 2;
    double A = midpoint;
    for (int step = i % 9 - 4; step < 0; ++step) A = std::nextafter(A, 0.0);
    for (int step = i % 9 - 4; step > 0; --step) A = std::nextafter(A, 10.0);
    const double radius = 0.1 + (i % 10);
    X.push_back(radius * std::cos(A));
    Y.push_back(radius * std::sin(A));
  }
  expectAzimuthsExact(X, Y, "boundary");
}

struct Table {
  std::vector<double> ra, dec;
};

Table randomTable(std::mt19937_64& random, std::size_t rows) {
  std::uniform_real_distribution<double> ra(0, 360), dec(-90, 90);
  Table t;
  for (std::size_t i = 0; i < rows; ++i) {
    t.ra.push_back(ra(random));
    t.dec.push_back(dec(random));
    if (i % 97 == 0) t.dec.back() = std::round(t.dec.back());  // whole degrees, the poles, 0
    if (i % 89 == 0) t.ra.back() = std::round(t.ra.back());
  }
  t.dec[1] = 90;
  t.dec[2] = -90;
  t.dec[3] = -0.0;
  return t;
}

ClockSample randomSample(std::mt19937_64& random) {
  std::uniform_int_distribution<int> year(2000, 2050), month(1, 12), day(1, 28), hour(0, 23), minute(0, 59);
  const int y = year(random), mo = month(random), d = day(random), h = hour(random), mi = minute(random);
  char date[16], time[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", y, mo, d);
  std::snprintf(time, sizeof time, "%02d:%02d:00", h, mi);
  return sampleClock(date, time);
}

// Runs a pass and compares every row with the plain routine, bit for bit.
void expectPassMatchesRoutine(PositionPass& pass, const Table& t, std::size_t count, double lat, double lon,
                              const ClockSample& s) {
  std::vector<float> az(count);
  std::vector<double> alt(count);
  pass.compute(t.ra.data(), t.dec.data(), count, lat, lon, s, az.data(), alt.data());
  for (std::size_t i = 0; i < count; ++i) {
    const HorizontalPosition want = koudo_keisan_1950(t.ra[i], t.dec[i], lat, lon, s);
    ASSERT_EQ(bits(az[i]), bits(want.outAz))
        << "row " << i << " ra " << t.ra[i] << " dec " << t.dec[i] << " lat " << lat << " " << s.cycleDateText
        << " " << s.cycleTimeText << ": azimuth want " << want.outAz << " got " << az[i];
    ASSERT_EQ(bits(alt[i]), bits(want.outAlt))
        << "row " << i << " ra " << t.ra[i] << " dec " << t.dec[i] << " lat " << lat << ": altitude want "
        << want.outAlt << " got " << alt[i];
  }
}

// 2700 rows over 150 instants and four sites: 1,620,000 rows, each compared
// by its azimuth bits and its altitude bits.
TEST(PositionPass, BitIdenticalToTheRoutine) {
  std::mt19937_64 random(4);
  const Table t = randomTable(random, 2700);
  const double sites[][2] = {{35.0, 135.0}, {-33.93, 18.47}, {0.0, -70.4}, {89.5, -0.0}};
  for (const auto& site : sites) {
    PositionPass pass;
    for (int instant = 0; instant < 150; ++instant) {
      expectPassMatchesRoutine(pass, t, t.ra.size(), site[0], site[1], randomSample(random));
      if (HasFatalFailure()) return;
    }
  }
}

// Rows next to the meridian, above and below the pole: small hour angles,
// azimuths next to 0, 180 and 360 degrees.
TEST(PositionPass, BitIdenticalNextToTheMeridian) {
  std::mt19937_64 random(6);
  std::uniform_real_distribution<double> dec(-89, 89);
  PositionPass pass;
  for (int instant = 0; instant < 40; ++instant) {
    const ClockSample s = randomSample(random);
    const double meridian = localSiderealAngle(s, 135.0) / pi * 180;
    Table t;
    for (double side : {0.0, 180.0, -180.0, 360.0}) {
      for (double offset = 1e-9; offset < 3; offset *= 1.6) {
        for (double sign : {-1.0, 1.0}) {
          t.ra.push_back(meridian + side + sign * offset);
          t.dec.push_back(dec(random));
        }
      }
    }
    expectPassMatchesRoutine(pass, t, t.ra.size(), 35.0, 135.0, s);
    if (HasFatalFailure()) return;
  }
}

// Rows change between passes (new values, a sign of zero, NaN and back), the
// table grows and shrinks, and the latitude changes: the cache follows.
TEST(PositionPass, RowsThatChangeBetweenPasses) {
  std::mt19937_64 random(5);
  Table t = randomTable(random, 2700);
  std::uniform_real_distribution<double> ra(0, 360), dec(-90, 90);
  std::uniform_int_distribution<std::size_t> row(0, 2699);
  PositionPass pass;
  std::size_t count = 1000;
  double lat = 35.0;
  for (int instant = 0; instant < 60; ++instant) {
    expectPassMatchesRoutine(pass, t, count, lat, 135.0, randomSample(random));
    if (HasFatalFailure()) return;
    for (int k = 0; k < 300; ++k) {
      const std::size_t i = row(random);
      switch (k % 5) {
        case 0:
          t.ra[i] = ra(random);
          break;
        case 1:
          t.dec[i] = dec(random);
          break;
        case 2:
          t.ra[i] = ra(random), t.dec[i] = dec(random);
          break;
        case 3:
          t.dec[i] = t.dec[i] == 0 ? -t.dec[i] : std::nextafter(t.dec[i], 100.0);
          break;  // one ulp
        case 4:
          t.ra[i] = std::nextafter(t.ra[i], -1.0);
          break;
      }
    }
    t.dec[7] = instant % 2 == 0 ? 0.0 : -0.0;
    count = instant % 3 == 0 ? 2700 : instant % 3 == 1 ? 1801 : 2;
    if (instant % 10 == 9) lat = lat == 35.0 ? 35.000000000000007 : 35.0;
  }
}

TEST(PositionPass, EmptyPassWritesNothing) {
  PositionPass pass;
  float az = -1;
  double alt = -1;
  pass.compute(nullptr, nullptr, 0, 35.0, 135.0, sampleClock("2024-03-15", "22:30:00"), &az, &alt);
  EXPECT_EQ(az, -1.0f);
  EXPECT_EQ(alt, -1.0);
}

}  // namespace
}  // namespace vantrel
