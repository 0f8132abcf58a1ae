// Double-double arithmetic: a value hi + lo with |lo| <= ulp(hi)/2.
//
// Needs every operation rounded to nearest double with no contraction into fused
// multiply-adds (-ffp-contract=off, SSE2 on 32-bit x86). Products use Dekker's
// split, so no fma is needed either. u = 2^-53; the bounds are those of
// Joldes, Muller and Popescu (2017) for these algorithms, relative to the exact
// result of the operation on the operands as given.
#pragma once

#include "runtime/fp_model.h"

namespace rt {

struct DD {
  double hi, lo;
};

// a + b exactly (any magnitudes).
inline DD two_sum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  const double e = (a - (s - bb)) + (b - bb);
  return {s, e};
}

// a + b exactly when |a| >= |b| (or a == 0).
inline DD fast_two_sum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// a * b exactly, for |a|, |b| below 2^995 and a product above 2^-969.
inline DD two_prod(double a, double b) {
  constexpr double splitter = 134217729.0;  // 2^27 + 1
  const double ca = splitter * a, cb = splitter * b;
  const double ah = ca - (ca - a), al = a - ah;
  const double bh = cb - (cb - b), bl = b - bh;
  const double p = a * b;
  const double e = (((ah * bh - p) + ah * bl) + al * bh) + al * bl;
  return {p, e};
}

inline DD neg(DD a) { return {-a.hi, -a.lo}; }

// Error <= 2u^2 |a + b|.
inline DD add(DD a, double b) {
  const DD s = two_sum(a.hi, b);
  return fast_two_sum(s.hi, a.lo + s.lo);
}

// Error <= 3u^2 |a + b|, cancellation included.
inline DD add(DD a, DD b) {
  DD s = two_sum(a.hi, b.hi);
  const DD t = two_sum(a.lo, b.lo);
  s = fast_two_sum(s.hi, s.lo + t.hi);
  return fast_two_sum(s.hi, s.lo + t.lo);
}

// Error <= 3u^2 |a b|.
inline DD mul(DD a, double b) {
  const DD p = two_prod(a.hi, b);
  return fast_two_sum(p.hi, p.lo + a.lo * b);
}

// Error <= 7u^2 |a b|.
inline DD mul(DD a, DD b) {
  const DD p = two_prod(a.hi, b.hi);
  return fast_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

// 1 / a, error <= 16u^2 / |a|: q1 = 1/a.hi is within u of 1/a.hi, the residual
// 1 - a q1 (of size u) is formed to within 4u^2 and its quotient adds the rest.
inline DD recip(DD a) {
  const double q1 = 1.0 / a.hi;
  const DD p = mul(a, q1);
  const double r = (1.0 - p.hi) - p.lo;  // 1 - p.hi is exact: p.hi lies in [1/2, 2]
  return fast_two_sum(q1, r / a.hi);
}

}  // namespace rt
