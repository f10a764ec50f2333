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

void PositionPass::compute(const double* raDeg, const double* decDeg, std::size_t count, double siteLatitude,
                           double siteLongitude, const ClockSample& sample, float* azDeg, double* altDeg) {
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
  }
  for (; builtRows_ < count; ++builtRows_) {
    buildRow(rows_[builtRows_], raDeg[builtRows_], decDeg[builtRows_]);
  }

  // X, Y and Sn; a row whose inputs changed is built again first.
  const double theta = localSiderealAngle(sample, siteLongitude);
  for (std::size_t i = 0; i < count; ++i) {
    Row& row = rows_[i];
    if (!sameBits(raDeg[i], row.raDeg) || !sameBits(decDeg[i], row.decDeg)) {
      buildRow(row, raDeg[i], decDeg[i]);
    }
    double sinH, cosH;
    ::sincos(theta - row.alpha, &sinH, &cosH);
    x_[i] = row.xTerm + row.xFactor * cosH;
    y_[i] = row.cosDelta * sinH;
    sn_[i] = row.snTerm + row.snFactor * cosH;
  }

  // As, in radians for now, into azDeg.
  detail::singlePrecisionAzimuths(x_.data(), y_.data(), count, azDeg);

  // C, the cosine of the altitude through As, or |Y| when X is 0, in place
  // of Y.
  for (std::size_t i = 0; i < count; ++i) {
    const double X = x_[i];
    y_[i] = X != 0 ? X / std::cos(static_cast<double>(azDeg[i])) : std::fabs(y_[i]);
  }

  // The altitude, and As in degrees. C is 0 only at the zenith or nadir (X
  // and Y both 0): X / cos(As) cannot vanish when X does not.
  for (std::size_t i = 0; i < count; ++i) {
    const double C = y_[i];
    const double Sn = sn_[i];
    const double h = C != 0 ? std::atan(Sn / C) : (Sn < 0 ? -pi / 2 : pi / 2);
    altDeg[i] = (h * 180) / pi;
    azDeg[i] = static_cast<float>((static_cast<double>(azDeg[i]) * 180) / pi);
  }
}

}  // namespace vantrel
