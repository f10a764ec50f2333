// azimuth_single.cpp - single-precision azimuths without most arctangents.
//
// Given:
//    X, Y    double[count]   the components toward south and west
// Returned:
//    As      float[count]    the azimuth A of the quadrant table, rounded to
//                            single precision, radians, (0, 2 pi]
// Notes:
// 1) Only As is needed downstream, never A itself, and a float holds 29 bits
//    fewer than a double. So A0 = atan(Y / X) is approximated without calling
//    atan and widened by a margin of 1e-9 (relative) into an interval that
//    surely holds the routine's value. Adding the quadrant offset and
//    rounding to float are both monotonic, so when both ends of the interval
//    round to the same float, that float is As. Otherwise (about one azimuth
//    in a hundred, next to a float rounding boundary) As is computed exactly
//    as koudo_keisan_1950 computes it, by the routine's own code.
// 2) What the margin covers, relative to A0: the approximation below
//    (2.2e-11, measured over 4e7 arguments; the fit alone is 2.1e-11), and
//    the rounding of Y / X and the libm's atan (together under 4e-16). The
//    margin is some forty times that; a narrower one would only save a few
//    of the atan calls.
// 3) The approximation: with u = min(|X|, |Y|) / max(|X|, |Y|), atan(u) is
//    pi/4 + atan((u - 1) / (u + 1)) above tan(pi/8), so that the polynomial
//    v g(v^2) only sees |v| <= tan(pi/8); g is a Chebyshev fit of degree 6 in
//    v^2. When |Y| > |X| the angle is pi/2 minus it; the sign is that of Y / X.
// 4) Two rows at a time in SSE2 lanes (GCC vector extensions: each lane does
//    the scalar IEEE operations, nothing is contracted), in two sweeps per
//    block of rows: long chains of dependent steps per row would otherwise
//    leave the processor waiting.
// 5) Computed exactly as well: X exactly 0, NaN, components beyond 1e307 (where
//    |X| + |Y| could overflow) and an odd last row.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

#include "astro/koudo_keisan_1950.h"
#include "astro/position_pass.h"

namespace vantrel::detail {
namespace {

typedef double Pair __attribute__((vector_size(16)));
typedef std::int64_t PairMask __attribute__((vector_size(16)));
typedef float FloatPair __attribute__((vector_size(8)));
typedef std::int32_t FloatPairMask __attribute__((vector_size(8)));

constexpr double pi = std::numbers::pi;
constexpr double tanPiOver8 = 0.41421356237309503;
constexpr double margin = 1e-9;          // relative
constexpr double tinyMargin = 1e-300;    // absolute, for A0 at or near 0
constexpr std::size_t block = 256;       // rows per sweep
constexpr double hugeComponent = 1e307;  // above it min + max could overflow
constexpr PairMask magnitude = {0x7fffffffffffffff, 0x7fffffffffffffff};

Pair load(const double* p) {
  Pair v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
Pair both(double v) { return Pair{v, v}; }
Pair asPair(PairMask m) { return reinterpret_cast<Pair>(m); }
PairMask asMask(Pair d) { return reinterpret_cast<PairMask>(d); }

// atan(v) for |v| <= tan(pi/8), with its reduction: v from |X| and |Y|.
Pair reducedArctangent(Pair X, Pair Y) {
  const Pair ax = asPair(asMask(X) & magnitude), ay = asPair(asMask(Y) & magnitude);
  const PairMask steep = ay > ax;
  const Pair small = steep ? ax : ay, large = steep ? ay : ax;
  const PairMask shifted = small > tanPiOver8 * large;
  const Pair v = (shifted ? small - large : small) / (shifted ? small + large : large);
  const Pair s = v * v;
  Pair g = both(0.0470734814196802);
  g = g * s - 0.08456192886940496;
  g = g * s + 0.1104048922721824;
  g = g * s - 0.14281588772654125;
  g = g * s + 0.19999883856551304;
  g = g * s - 0.33333332097609386;
  g = g * s + 0.9999999999783987;
  return v * g;
}

// A0 from the reduced arctangent r: undo the reductions and take the sign.
Pair arctangent(Pair X, Pair Y, Pair r) {
  const Pair ax = asPair(asMask(X) & magnitude), ay = asPair(asMask(Y) & magnitude);
  const PairMask steep = ay > ax;
  const Pair small = steep ? ax : ay, large = steep ? ay : ax;
  const PairMask shifted = small > tanPiOver8 * large;
  r = asPair(shifted & asMask(both(pi / 4))) + r;                                       // r >= 0: 0 + r is r
  r = asPair(steep & asMask(both(pi / 2))) + asPair(asMask(r) ^ (steep & ~magnitude));  // pi/2 - r
  return asPair(asMask(r) ^ ((asMask(X) ^ asMask(Y)) & ~magnitude));                    // the sign of Y / X
}

// A exactly as the routine forms it, rounded to single precision.
float exactAzimuth(double X, double Y) {
  double A0;
  return static_cast<float>(quadrantAzimuth(X, Y, A0));
}

}  // namespace

void singlePrecisionAzimuths(const double* Xs, const double* Ys, std::size_t count, float* As) {
  double reduced[block];
  for (std::size_t first = 0; first < count; first += block) {
    const std::size_t n = count - first < block ? count - first : block;
    const double* X = Xs + first;
    const double* Y = Ys + first;
    float* out = As + first;

    for (std::size_t i = 0; i + 1 < n; i += 2) {
      const Pair r = reducedArctangent(load(X + i), load(Y + i));
      std::memcpy(reduced + i, &r, sizeof r);
    }
    for (std::size_t i = 0; i + 1 < n; i += 2) {
      const Pair x = load(X + i), y = load(Y + i);
      const Pair a = arctangent(x, y, load(reduced + i));
      const Pair zero = both(0.0);
      const Pair offset = x > zero ? asPair(~(y > zero) & asMask(both(2 * pi))) : both(pi);
      const Pair width = asPair(asMask(a) & magnitude) * margin + tinyMargin;
      const FloatPair low = __builtin_convertvector((a - width) + offset, FloatPair);
      const FloatPair high = __builtin_convertvector((a + width) + offset, FloatPair);
      const PairMask exactOnly = (x == zero) | (asPair(asMask(x) & magnitude) > hugeComponent) |
                                 (asPair(asMask(y) & magnitude) > hugeComponent);
      const FloatPairMask open =
          (reinterpret_cast<FloatPairMask>(low) != reinterpret_cast<FloatPairMask>(high)) | (low != low) |
          __builtin_convertvector(exactOnly, FloatPairMask);
      if (__builtin_expect((open[0] | open[1]) == 0, 1)) {
        std::memcpy(out + i, &low, sizeof low);
      } else {
        out[i] = open[0] ? exactAzimuth(X[i], Y[i]) : low[0];
        out[i + 1] = open[1] ? exactAzimuth(X[i + 1], Y[i + 1]) : low[1];
      }
    }
    if (n % 2 != 0) out[n - 1] = exactAzimuth(X[n - 1], Y[n - 1]);
  }
}

}  // namespace vantrel::detail
