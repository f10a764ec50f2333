// Tests of PositionPass: row for row the bits of koudo_keisan_1950, also for
// rows that change between passes, and its azimuth without most arctangents.
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

// Against the routine's own As: random components of every size and sign, zeros and non-finite values, and
// azimuths within four units of a float rounding boundary, where the approximation cannot decide. The count
// is odd, so the last row is alone.
TEST(PositionPass, SinglePrecisionAzimuthIsExact) {
  std::mt19937_64 random(2);
  std::uniform_real_distribution<double> unit(-1, 1), exponent(-300, 300), angle(1e-3, 2 * pi);
  std::vector<double> X, Y;
  for (int i = 0; i < 500000; ++i) {
    X.push_back(unit(random) * (i % 5 == 0 ? std::pow(10.0, exponent(random)) : 1));
    Y.push_back(unit(random) * (i % 7 == 0 ? std::pow(10.0, exponent(random)) : 1));
    const float f = static_cast<float>(angle(random));
    double A = (static_cast<double>(f) + static_cast<double>(std::nextafter(f, 10.0f))) / 2;
    for (int step = i % 9 - 4; step != 0; step += step < 0 ? 1 : -1) A = std::nextafter(A, step < 0 ? 0.0 : 10.0);
    X.push_back((0.1 + i % 10) * std::cos(A));
    Y.push_back((0.1 + i % 10) * std::sin(A));
  }
  const double huge = std::numeric_limits<double>::max(), inf = std::numeric_limits<double>::infinity();
  const double unusual[] = {0.0, -0.0, 1.0, -1.0, 1e-310, -1e-310, 5e-324, 1e308, -1.5e308, huge, inf, -inf, NAN};
  for (double x : unusual)
    for (double y : unusual) X.push_back(x), Y.push_back(y);
  std::vector<float> got(X.size());
  detail::singlePrecisionAzimuths(X.data(), Y.data(), X.size(), got.data());
  for (std::size_t i = 0; i < X.size(); ++i)
    ASSERT_EQ(bits(got[i]), bits(detail::azimuthAltitude(X[i], Y[i], 0.5).As)) << "X " << X[i] << " Y " << Y[i];
}

// Passes over 600 instants, every row against the plain routine by its azimuth and altitude bits. Between
// passes rows change (new values, one unit in the last place, the sign of a zero), the table grows and
// shrinks, 368 rows follow the meridian and its opposite at hour angles from 1e-9 to 1.5 degrees, and the
// site changes every 20 passes, once by one unit of the latitude: the rows kept between passes must follow
// all of it. The first site lies on the equator, whose latitude has the bits of a pass not yet built for any.
TEST(PositionPass, BitIdenticalToTheRoutine) {
  std::mt19937_64 random(4);
  std::uniform_real_distribution<double> ra(0, 360), dec(-90, 90);
  std::uniform_int_distribution<std::size_t> row(0, 2699);
  std::uniform_int_distribution<int> year(2000, 2050), month(1, 12), day(1, 28), minute(0, 1439);
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
    char date[32], time[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", year(random), month(random), day(random));
    const int m = minute(random);
    std::snprintf(time, sizeof time, "%02d:%02d:00", m / 60, m % 60);
    const ClockSample s = sampleClock(date, time);
    const double meridian = localSiderealAngle(s, lon) / pi * 180;
    for (std::size_t i = 0; i < 368; ++i)
      raDeg[8 + i] = meridian + (i % 4) * 180.0 - 180 + (i / 4 % 2 ? 1 : -1) * 1e-9 * std::pow(1.6, i / 8);
    decDeg[3] = instant % 2 ? -0.0 : 0.0;
    const std::size_t count = instant % 5 == 4 ? 2 : instant % 5 == 3 ? 1801 : 2700;
    pass.compute(raDeg.data(), decDeg.data(), count, lat, lon, s, az.data(), alt.data());
    for (std::size_t i = 0; i < count; ++i) {
      const HorizontalPosition want = koudo_keisan_1950(raDeg[i], decDeg[i], lat, lon, s);
      ASSERT_TRUE(bits(az[i]) == bits(want.outAz) && bits(alt[i]) == bits(want.outAlt))
          << "row " << i << " ra " << raDeg[i] << " dec " << decDeg[i] << " lat " << lat << " " << date << " "
          << time << ": want az " << want.outAz << " alt " << want.outAlt << ", got az " << az[i] << " alt " << alt[i];
    }
    for (int k = 0; k < 300; ++k) {
      const std::size_t i = row(random);
      if (k % 2 == 0) raDeg[i] = k % 4 == 0 ? ra(random) : std::nextafter(raDeg[i], -1.0);
      if (k % 2 == 1) decDeg[i] = k % 4 == 1 ? dec(random) : std::nextafter(decDeg[i], 100.0);
    }
  }
}

}  // namespace
}  // namespace vantrel
