// azimuth_altitude.cpp - azimuth and altitude from the horizontal components.
//
// Given:
//    X    double   cos(alt) cos(az), the component toward the south point
//    Y    double   cos(alt) sin(az), the component toward the west point
//    Sn   double   sin(alt)
// Returned:
//    A0, A, As, C, h   the steps (see koudo_keisan_1950.h, detail)
//    outAz    float    degrees from south through west, (0, 360]
//    outAlt   double   degrees, [-90, 90]
// Notes:
// 1) The azimuth is assembled by quadrant from A0 = arctan(Y / X):
//       X > 0, Y > 0   A0            south to west
//       X > 0, Y <= 0  A0 + 2 pi     east to south; due south gives 2 pi
//       X < 0          A0 + pi       the northern half
// 2) The azimuth is rounded to single precision (As) before the altitude is
//    taken from it: C = X / cos(As). Within about 1e-5 degrees of due east or
//    due west, As can lie on the other side of 90 or 270 degrees than A, and
//    the altitude is then far off; that is how the positions have always
//    been computed, and it is kept.
// 3) X exactly 0 (+0 or -0): the position is due west (Y > 0, A = pi/2), due
//    east (Y < 0, A = 3 pi/2), or, with Y = 0 as well, at the zenith or
//    nadir (A = 2 pi, altitude +90 or -90 by the sign of Sn; +90 when Sn is
//    0). C is then |Y|. No division by zero is made, so no NaN arises from
//    finite inputs.
#include <cmath>
#include <numbers>

#include "astro/koudo_keisan_1950.h"

namespace vantrel::detail {

double quadrantAzimuth(double X, double Y, double& A0) {
  constexpr double pi = std::numbers::pi;
  A0 = 0;
  if (X == 0) return Y != 0 ? (Y > 0 ? pi / 2 : 3 * pi / 2) : 2 * pi;
  A0 = std::atan(Y / X);
  if (X > 0 && Y > 0) return A0;
  if (X > 0) return A0 + 2 * pi;
  return A0 + pi;
}

AzimuthAltitude azimuthAltitude(double X, double Y, double Sn) {
  constexpr double pi = std::numbers::pi;
  AzimuthAltitude r;
  r.A = quadrantAzimuth(X, Y, r.A0);
  r.As = static_cast<float>(r.A);
  if (X != 0) {
    r.C = X / std::cos(static_cast<double>(r.As));
    r.h = std::atan(Sn / r.C);
  } else if (Y != 0) {
    r.C = std::fabs(Y);
    r.h = std::atan(Sn / r.C);
  } else {
    r.C = 0;
    r.h = Sn < 0 ? -pi / 2 : pi / 2;
  }
  r.outAlt = (r.h * 180) / pi;
  r.outAz = static_cast<float>((static_cast<double>(r.As) * 180) / pi);
  return r;
}

}  // namespace vantrel::detail
