// position_pass.h - the positions of many rows for one instant.
//
// Gives, row for row, exactly the bits that koudo_keisan_1950 gives, but does
// the work of the instant (sidereal angle, sine and cosine of the latitude)
// once per pass and keeps per-row values that never change (sine and cosine
// of the declination, the right ascension in radians) between passes. A row
// whose right ascension or declination changed is recomputed from scratch.
//
// Notes:
// 1) What is kept for a row is the right ascension in radians, cos(delta) and
//    the four products of sin/cos(delta) with sin/cos(phi) exactly as the
//    formulas of X and Sn group them, so the sums come out in the same order.
// 2) A row is rebuilt when the bits of its raDeg or decDeg differ from those
//    it was built from (so -0 and +0 differ, and a NaN always rebuilds);
//    every row is rebuilt when the bits of the latitude change.
// 3) One object serves one table: it is not safe to share between threads.
// 4) azDeg is written twice per pass (As in radians, then in degrees).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "astro/clock_sample.h"

namespace vantrel {

class PositionPass {
 public:
  // Rows [0, count) of raDeg/decDeg in, azDeg/altDeg out.
  void compute(const double* raDeg, const double* decDeg, std::size_t count, double siteLatitude,
               double siteLongitude, const ClockSample& sample, float* azDeg, double* altDeg);

 private:
  // The values of one row that hold for every instant. One cache line.
  struct Row {
    double raDeg, decDeg;  // the inputs the row was built from
    double alpha;          // (raDeg / 180) pi
    double cosDelta;
    double xTerm;     // -sin(delta) cos(phi)
    double xFactor;   // sin(phi) cos(delta)
    double snTerm;    // sin(delta) sin(phi)
    double snFactor;  // cos(phi) cos(delta)
  };
  void buildRow(Row& row, double raDeg, double decDeg) const;

  std::vector<Row> rows_;
  std::size_t builtRows_ = 0;       // rows [0, builtRows_) hold valid values
  std::uint64_t latitudeBits_ = 0;  // the latitude the rows were built for
  double sinPhi_ = 0, cosPhi_ = 0;
  std::vector<double> x_, y_, sn_;  // scratch of one pass: X, Y (then C), Sn
};

namespace detail {

// As of koudo_keisan_1950 for rows [0, count): the azimuth A from X and Y by
// the quadrant table, rounded to single precision, in radians; the same bits
// as detail::azimuthAltitude(X, Y, Sn).As for every X and Y.
void singlePrecisionAzimuths(const double* X, const double* Y, std::size_t count, float* As);

}  // namespace detail
}  // namespace vantrel
