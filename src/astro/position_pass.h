// position_pass.h - the positions of many rows for one instant.
//
// Gives, row for row, exactly the bits that koudo_keisan_1950 gives, but does
// the work of the instant (sidereal angle, sine and cosine of the latitude)
// once per pass and keeps per-row values that never change (sine and cosine
// of the declination, the right ascension in radians) between passes. A row
// whose right ascension or declination changed is recomputed from scratch.
#pragma once

#include <cstddef>
#include <vector>

#include "astro/clock_sample.h"

namespace vantrel {

class PositionPass {
 public:
  // Rows [0, count) of raDeg/decDeg in, azDeg/altDeg out.
  void compute(const double* raDeg, const double* decDeg, std::size_t count, double siteLatitude,
               double siteLongitude, const ClockSample& sample, float* azDeg, double* altDeg);

 private:
  std::vector<double> cachedRa_, cachedDec_;
  std::vector<double> alpha_, sinDelta_, cosDelta_;
};

}  // namespace vantrel
