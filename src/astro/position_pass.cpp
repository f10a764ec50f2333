// position_pass.cpp - the positions of many rows for one instant.
//
// Bit for bit the arithmetic of koudo_keisan_1950, rearranged only where no
// rounding moves:
//  - theta, sin(phi) and cos(phi) come from the same expressions as in the
//    routine, once per pass;
//  - X = (-sin d cos p) + ((sin p cos d) cos H) and
//    Sn = (sin d sin p) + ((cos p cos d) cos H): both parenthesised products
//    of each sum are kept per row, so each sum adds the same two operands;
//  - sin H and cos H come from one sincos, which gives the same bits as sin
//    and cos called apart (the tests check it against this machine's libm);
//  - As comes from singlePrecisionAzimuths (azimuth_single.cpp), which calls
//    atan only next to a float rounding boundary.
// The rows go through the steps in sweeps (components, azimuth, cosine of
// the altitude, altitude) rather than one row at a time, with little
// arithmetic next to each libm call: the libm routines save the
// floating-point control word on entry, and a profile shows them waiting
// there for the work in flight before them. Measured on the development
// machine: one row at a time 64 ns a row, in these sweeps 39 ns; moving the
// azimuth approximation into the sincos sweep made it 50 ns.
#include "astro/position_pass.h"

#include <bit>
#include <cmath>
#include <numbers>

#include "astro/koudo_keisan_1950.h"

namespace vantrel {
namespace {

constexpr double pi = std::numbers::pi;

bool sameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

}  // namespace

void PositionPass::buildRow(Row& row, double raDeg, double decDeg) const {
  row.raDeg = raDeg;
  row.decDeg = decDeg;
  row.alpha = (raDeg / 180) * pi;
  const double delta = (decDeg / 180) * pi;
  const double sinDelta = std::sin(delta);
  row.cosDelta = std::cos(delta);
  row.xTerm = -sinDelta * cosPhi_;
  row.xFactor = sinPhi_ * row.cosDelta;
  row.snTerm = sinDelta * sinPhi_;
  row.snFactor = cosPhi_ * row.cosDelta;
}

double PositionPass::prepare(const double* raDeg, const double* decDeg, std::size_t count, double siteLatitude,
                            double siteLongitude, const ClockSample& sample) {
  const std::uint64_t latitudeBits = std::bit_cast<std::uint64_t>(siteLatitude);
  if (builtRows_ == 0 || latitudeBits != latitudeBits_) {
    const double phi = (siteLatitude * pi) / 180;
    sinPhi_ = std::sin(phi);
    cosPhi_ = std::cos(phi);
    latitudeBits_ = latitudeBits;
    builtRows_ = 0;
  }
  if (rows_.size() < count) {
    rows_.resize(count);
    x_.resize(count);
    y_.resize(count);
    sn_.resize(count);
    as_.resize(count);
    index_.resize(count);
  }
  for (; builtRows_ < count; ++builtRows_) {
    buildRow(rows_[builtRows_], raDeg[builtRows_], decDeg[builtRows_]);
  }
  // A row whose inputs changed is built again.
  for (std::size_t i = 0; i < count; ++i) {
    Row& row = rows_[i];
    if (!sameBits(raDeg[i], row.raDeg) || !sameBits(decDeg[i], row.decDeg)) buildRow(row, raDeg[i], decDeg[i]);
  }
  return localSiderealAngle(sample, siteLongitude);
}

void PositionPass::finish(std::size_t n, const std::size_t* out, float* azDeg, double* altDeg) {
  // As, in radians for now.
  detail::singlePrecisionAzimuths(x_.data(), y_.data(), n, as_.data());

  // C, the cosine of the altitude through As, or |Y| when X is 0, in place
  // of Y.
  for (std::size_t k = 0; k < n; ++k) {
    const double X = x_[k];
    y_[k] = X != 0 ? X / std::cos(static_cast<double>(as_[k])) : std::fabs(y_[k]);
  }

  // The altitude, and As in degrees. C is 0 only at the zenith or nadir (X
  // and Y both 0): X / cos(As) cannot vanish when X does not.
  for (std::size_t k = 0; k < n; ++k) {
    const double C = y_[k];
    const double Sn = sn_[k];
    const double h = C != 0 ? std::atan(Sn / C) : (Sn < 0 ? -pi / 2 : pi / 2);
    const std::size_t i = out != nullptr ? out[k] : k;
    altDeg[i] = (h * 180) / pi;
    azDeg[i] = static_cast<float>((static_cast<double>(as_[k]) * 180) / pi);
  }
}

void PositionPass::compute(const double* raDeg, const double* decDeg, std::size_t count, double siteLatitude,
                           double siteLongitude, const ClockSample& sample, float* azDeg, double* altDeg) {
  const double theta = prepare(raDeg, decDeg, count, siteLatitude, siteLongitude, sample);
  for (std::size_t i = 0; i < count; ++i) {
    const Row& row = rows_[i];
    double sinH, cosH;
    ::sincos(theta - row.alpha, &sinH, &cosH);
    x_[i] = row.xTerm + row.xFactor * cosH;
    y_[i] = row.cosDelta * sinH;
    sn_[i] = row.snTerm + row.snFactor * cosH;
  }
  finish(count, nullptr, azDeg, altDeg);
}

namespace {

// True when sin(H) is surely positive: H lies more than a microradian inside
// (0, pi) modulo 2 pi, and is small enough to reduce that accurately.
bool surelyWest(double H) {
  constexpr double margin = 1e-6;
  if (!(std::fabs(H) < 1000)) return false;
  const double r = H - 2 * pi * std::floor(H / (2 * pi));
  return r > margin && r < pi - margin;
}

}  // namespace

void PositionPass::computeCandidates(const double* raDeg, const double* decDeg, const std::int16_t* state,
                                     std::size_t count, double siteLatitude, double siteLongitude,
                                     double minAltitude, const ClockSample& sample, float* azDeg, double* altDeg) {
  const double theta = prepare(raDeg, decDeg, count, siteLatitude, siteLongitude, sample);
  const bool aboveHorizonOnly = minAltitude >= 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < count; ++i) {
    azDeg[i] = 0.0f;
    altDeg[i] = -90.0;
    const Row& row = rows_[i];
    if (state[i] != 0) continue;
    const double H = theta - row.alpha;
    if (row.cosDelta > 0 && surelyWest(H)) continue;
    double sinH, cosH;
    ::sincos(H, &sinH, &cosH);
    const double X = row.xTerm + row.xFactor * cosH;
    const double Y = row.cosDelta * sinH;
    const double Sn = row.snTerm + row.snFactor * cosH;
    if (X <= 0 || Y >= 0 || (aboveHorizonOnly && Sn <= 0)) continue;
    x_[n] = X;
    y_[n] = Y;
    sn_[n] = Sn;
    index_[n++] = i;
  }
  finish(n, index_.data(), azDeg, altDeg);
}

}  // namespace vantrel
