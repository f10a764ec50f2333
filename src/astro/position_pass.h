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
// 5) computeCandidates gives the same bits for every row that may be chosen
//    and leaves out the rows that provably cannot: chosen already (state not
//    0); west of the meridian by more than a microradian of hour angle with
//    cos(delta) > 0, so that Y > 0; or, once X, Y and Sn are computed as
//    the full pass computes them, X <= 0 or Y >= 0 (the azimuth then comes
//    out at most 270, or 360), or Sn <= 0 while minAltitude >= 0 (the
//    altitude then comes out at most 0). The hour-angle test is made only
//    for |H| < 1000 rad, where reducing H costs less than 1e-12 rad; there
//    sin(H) is at least about 1e-6 and its sign is the sign libm gives. A
//    row left out gets azDeg 0 and altDeg -90: outside every window.
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
  // Only the rows that may be chosen (note 5); `state` as targetState.
  void computeCandidates(const double* raDeg, const double* decDeg, const std::int16_t* state, std::size_t count,
                         double siteLatitude, double siteLongitude, double minAltitude, const ClockSample& sample,
                         float* azDeg, double* altDeg);

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
  // Rows built for the latitude and the inputs; returns theta.
  double prepare(const double* raDeg, const double* decDeg, std::size_t count, double siteLatitude,
                 double siteLongitude, const ClockSample& sample);
  // Steps from As to the altitude for scratch entries [0, n), into azDeg and
  // altDeg at out[k] (or k when out is null).
  void finish(std::size_t n, const std::size_t* out, float* azDeg, double* altDeg);

  std::vector<Row> rows_;
  std::size_t builtRows_ = 0;       // rows [0, builtRows_) hold valid values
  std::uint64_t latitudeBits_ = 0;  // the latitude the rows were built for
  double sinPhi_ = 0, cosPhi_ = 0;
  std::vector<double> x_, y_, sn_;  // scratch of one pass: X, Y (then C), Sn
  std::vector<float> as_;            // scratch: As of the candidates
  std::vector<std::size_t> index_;   // scratch: the row of each candidate
};

namespace detail {

// As of koudo_keisan_1950 for rows [0, count): the azimuth A from X and Y by
// the quadrant table, rounded to single precision, in radians; the same bits
// as detail::azimuthAltitude(X, Y, Sn).As for every X and Y.
void singlePrecisionAzimuths(const double* X, const double* Y, std::size_t count, float* As);

}  // namespace detail
}  // namespace vantrel
