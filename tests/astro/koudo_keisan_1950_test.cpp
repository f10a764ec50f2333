// Tests of koudo_keisan_1950 on the worked positions: 2024-03-15 22:30 on
// the clock, latitude 35, longitude 135 (theta = 2.6196878217472417 rad).
//
// Tolerances: H involves no libm routine and is exact. Values after sin, cos
// or atan may differ in the last bits between libm builds (glibc picks its
// routines by processor at run time): 4e-16 for X, Y, Sn, C, A0, A, h (about
// two units in the last place), 1e-11 degrees for outAlt. The single-
// precision As and outAz are compared by their bits.
#include "astro/koudo_keisan_1950.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>

namespace vantrel {
namespace {

constexpr double pi = std::numbers::pi;
constexpr double lastBits = 4e-16;

std::string hex(float f) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(std::bit_cast<std::uint32_t>(f)));
  return text;
}

void expectFloatBits(const char* name, float got, std::uint32_t want) {
  EXPECT_EQ(std::bit_cast<std::uint32_t>(got), want)
      << name << ": want " << std::bit_cast<float>(want) << " (" << hex(std::bit_cast<float>(want))
      << ") got " << got << " (" << hex(got) << ")";
}

detail::KoudoKeisanTrace workedTrace(double inRa, double inDec) {
  return detail::koudo_keisan_1950_trace(inRa, inDec, 35.0, 135.0, sampleClock("2024-03-15", "22:30:00"));
}

TEST(KoudoKeisan1950, JustNorthOfWest) {
  const detail::KoudoKeisanTrace t = workedTrace(90.0, 20.0);
  EXPECT_EQ(t.sidereal.theta, 2.6196878217472417);
  EXPECT_EQ(t.H, 1.0488914949523451) << "want 1.0488914949523451 got " << t.H;
  EXPECT_NEAR(t.X, -0.011464804405828477, lastBits);
  EXPECT_NEAR(t.Y, 0.8145924066186494, lastBits);
  EXPECT_NEAR(t.horizontal.A0, -1.5567229725640217, lastBits);
  EXPECT_NEAR(t.horizontal.A, 1.5848696810257714, lastBits) << "X <= 0: A = A0 + pi";
  EXPECT_EQ(static_cast<double>(t.horizontal.As), 1.584869623184204);
  EXPECT_NEAR(t.horizontal.C, 0.8146764301807781, lastBits);
  EXPECT_NEAR(t.Sn, 0.5799204853591338, lastBits);
  EXPECT_NEAR(t.horizontal.h, 0.6186291425248344, lastBits);
  EXPECT_NEAR(t.horizontal.outAlt, 35.44483895047009, 1e-11);
  expectFloatBits("outAz", t.horizontal.outAz, 0x42B59CD9u);
  EXPECT_EQ(t.horizontal.outAz, 90.80634307861328f);
}

TEST(KoudoKeisan1950, SouthEast) {
  const detail::KoudoKeisanTrace t = workedTrace(200.0, -10.0);
  EXPECT_EQ(t.H, -0.8709706822414174) << "want -0.8709706822414174 got " << t.H;
  EXPECT_NEAR(t.X, 0.5060633544734455, lastBits);
  EXPECT_NEAR(t.Y, -0.7533331208449491, lastBits);
  EXPECT_NEAR(t.horizontal.A, 5.303913384081469, lastBits) << "X > 0, Y <= 0: A = A0 + 2 pi";
  EXPECT_EQ(t.horizontal.A, t.horizontal.A0 + 2 * pi);
  EXPECT_NEAR(t.horizontal.outAlt, 24.833774310679956, 1e-11);
  expectFloatBits("outAz", t.horizontal.outAz, 0x4397F229u);
  EXPECT_EQ(t.horizontal.outAz, 303.8918762207031f);
}

TEST(KoudoKeisan1950, JustAfterUpperTransitNorthOfZenith) {
  const detail::KoudoKeisanTrace t = workedTrace(150.0, 80.0);
  EXPECT_EQ(t.H, 0.0016939437557472736) << "want 0.0016939437557472736 got " << t.H;
  EXPECT_NEAR(t.horizontal.outAlt, 44.99998346408205, 1e-11);
  expectFloatBits("outAz", t.horizontal.outAz, std::bit_cast<std::uint32_t>(179.97616577148438f));
}

// The public routine gives exactly what its trace gives, for any inputs.
TEST(KoudoKeisan1950, RoutineReturnsItsTrace) {
  const ClockSample sample = sampleClock("2031-11-02", "04:07:00");
  for (double ra = 0; ra < 360; ra += 7.3) {
    for (double dec = -85; dec <= 90; dec += 11.9) {
      const HorizontalPosition p = koudo_keisan_1950(ra, dec, -33.9, 18.4, sample);
      const detail::KoudoKeisanTrace t = detail::koudo_keisan_1950_trace(ra, dec, -33.9, 18.4, sample);
      ASSERT_EQ(std::bit_cast<std::uint32_t>(p.outAz), std::bit_cast<std::uint32_t>(t.horizontal.outAz));
      ASSERT_EQ(std::bit_cast<std::uint64_t>(p.outAlt), std::bit_cast<std::uint64_t>(t.horizontal.outAlt));
    }
  }
}

// The formulas step by step, every intermediate forced through a volatile so
// that this transcription rounds after each operation whatever the compiler
// flags. The routine must give the same bits: a fused multiply-add or a
// reordered sum in the library shows up here.
double r(double v) {
  volatile double stored = v;
  return stored;
}

TEST(KoudoKeisan1950, EveryStepRoundsInTheOrderWritten) {
  std::mt19937_64 random(1950);
  std::uniform_real_distribution<double> ra(0, 360), dec(-90, 90), lat(-90, 90);
  const ClockSample sample = sampleClock("2027-08-09", "01:44:00");
  for (int i = 0; i < 100000; ++i) {
    const double inRa = ra(random), inDec = dec(random), siteLatitude = lat(random);
    const detail::KoudoKeisanTrace t =
        detail::koudo_keisan_1950_trace(inRa, inDec, siteLatitude, 135.0, sample);

    const double alpha = r(r(inRa / 180) * pi), delta = r(r(inDec / 180) * pi);
    const double phi = r(r(siteLatitude * pi) / 180);
    const double H = r(t.sidereal.theta - alpha);
    const double sd = std::sin(delta), cd = std::cos(delta), sp = std::sin(phi), cp = std::cos(phi);
    const double sH = std::sin(H), cH = std::cos(H);
    const double X = r(r(-sd * cp) + r(r(sp * cd) * cH));
    const double Y = r(cd * sH);
    const double Sn = r(r(sd * sp) + r(r(cp * cd) * cH));
    ASSERT_NE(X, 0.0);
    const double A0 = std::atan(r(Y / X));
    const double A = X > 0 && Y > 0 ? A0 : X > 0 ? r(A0 + 2 * pi) : r(A0 + pi);
    const float As = static_cast<float>(A);
    const double C = r(X / std::cos(static_cast<double>(As)));
    const double h = std::atan(r(Sn / C));
    const double outAlt = r(r(h * 180) / pi);
    const float outAz = static_cast<float>(r(r(static_cast<double>(As) * 180) / pi));

    const double want[] = {alpha, delta, phi, H, X, Y, Sn, A, C, h, outAlt};
    const double got[] = {t.alpha,
                          t.delta,
                          t.phi,
                          t.H,
                          t.X,
                          t.Y,
                          t.Sn,
                          t.horizontal.A,
                          t.horizontal.C,
                          t.horizontal.h,
                          t.horizontal.outAlt};
    const char* names[] = {"alpha", "delta", "phi", "H", "X", "Y", "Sn", "A", "C", "h", "outAlt"};
    for (std::size_t k = 0; k < std::size(want); ++k) {
      ASSERT_EQ(std::bit_cast<std::uint64_t>(got[k]), std::bit_cast<std::uint64_t>(want[k]))
          << names[k] << " for ra " << inRa << " dec " << inDec << " lat " << siteLatitude << ": want "
          << want[k] << " got " << got[k];
    }
    ASSERT_EQ(std::bit_cast<std::uint32_t>(t.horizontal.outAz), std::bit_cast<std::uint32_t>(outAz))
        << "outAz for ra " << inRa << " dec " << inDec << ": want " << hex(outAz) << " got "
        << hex(t.horizontal.outAz);
  }
}

// The altitude is taken through the single-precision azimuth: through A
// itself C, and so h, would come out different in the worked example.
TEST(KoudoKeisan1950, AltitudeGoesThroughTheRoundedAzimuth) {
  const detail::KoudoKeisanTrace t = workedTrace(90.0, 20.0);
  const double throughA = t.X / std::cos(t.horizontal.A);
  EXPECT_GT(std::fabs(throughA - t.horizontal.C), 1e-6)
      << "C " << t.horizontal.C << " through A " << throughA;
}

}  // namespace
}  // namespace vantrel
