// Correctly rounded references from MPFR (tests, benchmarks and fuzzers only).
#pragma once

#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "runtime/elementary.h"

namespace mpfr_ref {

enum class Fn { sin, sinh, cosh, acos };

// The program's own routine for f.
inline double call(Fn f, double x) {
  switch (f) {
    case Fn::sin: return rt::m_sin(x);
    case Fn::sinh: return rt::m_sinh(x);
    case Fn::cosh: return rt::m_cosh(x);
    case Fn::acos: return rt::m_acos(x);
  }
  return 0.0;
}

// f(x) rounded to a double by `rnd`; beyond the double range +-inf (MPFR's own
// exponent range is far wider, so the 53-bit result is the double's).
inline double eval(Fn f, double x, mpfr_rnd_t rnd = MPFR_RNDN) {
  mpfr_t a, r;
  mpfr_init2(a, 53);
  mpfr_init2(r, 53);
  mpfr_set_d(a, x, MPFR_RNDN);
  switch (f) {
    case Fn::sin: mpfr_sin(r, a, rnd); break;
    case Fn::sinh: mpfr_sinh(r, a, rnd); break;
    case Fn::cosh: mpfr_cosh(r, a, rnd); break;
    case Fn::acos: mpfr_acos(r, a, rnd); break;
  }
  const double d = mpfr_get_d(r, rnd);
  mpfr_clear(a);
  mpfr_clear(r);
  return d;
}

// How near f(x) lies to a rounding boundary, in units in the last place of the
// result: 0 on a midpoint, 0.5 on a double.
inline double boundary_distance(Fn f, double x) {
  mpfr_t a, r, t;
  mpfr_init2(a, 53);
  mpfr_init2(r, 256);
  mpfr_init2(t, 256);
  mpfr_set_d(a, x, MPFR_RNDN);
  switch (f) {
    case Fn::sin: mpfr_sin(r, a, MPFR_RNDN); break;
    case Fn::sinh: mpfr_sinh(r, a, MPFR_RNDN); break;
    case Fn::cosh: mpfr_cosh(r, a, MPFR_RNDN); break;
    case Fn::acos: mpfr_acos(r, a, MPFR_RNDN); break;
  }
  double out = 0.5;
  if (mpfr_regular_p(r)) {
    const long e = mpfr_get_exp(r);         // r = m 2^e, 1/2 <= |m| < 1
    mpfr_mul_2si(t, r, 53 - e, MPFR_RNDN);  // the ulp becomes 1
    mpfr_abs(t, t, MPFR_RNDN);
    mpfr_frac(t, t, MPFR_RNDN);
    out = std::fabs(mpfr_get_d(t, MPFR_RNDN) - 0.5);
  }
  mpfr_clear(a);
  mpfr_clear(r);
  mpfr_clear(t);
  return out;
}

inline bool same_bits(double a, double b) {
  std::uint64_t x, y;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return x == y || (a != a && b != b);
}

}  // namespace mpfr_ref
