#include "runtime/elementary.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "runtime/double_double.h"
#include "runtime/elementary_tables.h"
#include "runtime/elementary_wide.h"
#include "runtime/errors.h"

// Each function evaluates in double-double with an error bound written beside
// the code, and returns the rounded value when Ziv's test shows every value
// within the bound rounds alike; otherwise it goes to the wide fixed-point path
// (elementary_wide.h), which decides every case. The bounds below carry a margin
// of at least 8 over the sums of the steps' own bounds.

namespace rt {

namespace {

using namespace elem;

// 2^e for -1022 <= e <= 1023.
double pow2(int e) { return std::bit_cast<double>(static_cast<std::uint64_t>(e + 1023) << 52); }

// Floor of log2 |v| for a normal v.
int exponent_of(double v) { return static_cast<int>((std::bit_cast<std::uint64_t>(v) >> 52) & 0x7ff) - 1023; }

bool signalling_nan(double x) {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  return (bits & 0x7ff0000000000000u) == 0x7ff0000000000000u && (bits & 0x000fffffffffffffu) != 0 &&
         (bits & 0x0008000000000000u) == 0;
}

// Ziv's test: the exact value lies within err of v.hi + v.lo (|v.lo| <= ulp/2,
// |v.hi| above 2^-900). Forming v.lo -+ err loses at most 2^-53 |v.lo -+ err|,
// which the widened e covers; then rounding to nearest is monotone, so equal
// roundings of the two ends are the rounding of the exact value.
bool rounds_alike(DD v, double err, double& out) {
  const double e = err * 0x1.00000000001p0 + std::fabs(v.hi) * 0x1p-104;
  const double a = v.hi + (v.lo - e), b = v.hi + (v.lo + e);
  if (a != b) return false;
  out = a;
  return true;
}

// ---- Sine --------------------------------------------------------------------------

// sin(rho) (cosine false) or cos(rho), 0 <= rho <= pi/4 + 2^-40, within
// 2^-97 |result| + 2^-106.
//   rho = i/64 + t, |t| <= 2^-7 (+2^-60); v = t^2 <= 2^-14 + 2^-60.
//   sin t = t + t v (-1/6 + v (1/120 + v qs)), qs = -1/7! + v/9! - v^2/11! + v^3/13!
//   cos t = 1 + v (-1/2 + v (1/24 + v qc)),   qc = -1/6! + v/8! - v^2/10! + v^3/12!
// Truncation: below 2^-110 |t| and 2^-105. The double Horner steps qs, qc are
// within 2^-51 relatively; weighed by v qs / (1/120) <= 2^-19.4, v / 20 and v/6
// (sine), or v qc 24 <= 2^-18.9, v/12 and v/2 (cosine), they leave below 2^-106 |t|
// and 2^-103.5; the double-double steps add at most 40 u2 |result|. Table entries
// are within u2 |entry|, and for i >= 1 the result exceeds sin(1/128) > 2^-7.1.
DD sin_cos_reduced(DD rho, bool cosine) {
  const int i = static_cast<int>(rho.hi * 64.0 + 0.5);
  const DD t = two_sum(rho.hi - i * 0x1p-6, rho.lo);  // the difference is exact (Sterbenz)
  DD v = two_prod(t.hi, t.hi);
  v = fast_two_sum(v.hi, v.lo + 2.0 * t.hi * t.lo);
  const double vh = v.hi;
  DD st{}, cm1{};
  if (i != 0 || !cosine) {
    const double qs = -1.0 / 5040.0 + vh * (1.0 / 362880.0 + vh * (-1.0 / 39916800.0 + vh * (1.0 / 6227020800.0)));
    const DD p = add(neg(sixth_dd), mul(v, add(inv120_dd, vh * qs)));
    st = add(t, mul(t, mul(v, p)));
  }
  if (i != 0 || cosine) {
    const double qc = -1.0 / 720.0 + vh * (1.0 / 40320.0 + vh * (-1.0 / 3628800.0 + vh * (1.0 / 479001600.0)));
    cm1 = mul(v, add(mul(v, add(inv24_dd, vh * qc)), -0.5));
  }
  if (i == 0) return cosine ? add(cm1, 1.0) : st;
  const DD S = sin_tab[i], C = cos_tab[i];
  if (cosine) return add(C, add(mul(C, cm1), neg(mul(S, st))));
  return add(S, add(mul(S, cm1), mul(C, st)));
}

// Below 2^20 pi/2 the quadrant n fits the exact products n * pio2_cut[0..2].
constexpr double sin_fast_limit = 1.6e6;

}  // namespace

double m_sin(double x) {
  const double ax = std::fabs(x);
  // sin x = x (1 - d) with 0 <= d < x^2/6 < 2^-54: x itself is the nearest double.
  if (ax < 0x1p-26) return x;
  if (!(ax < sin_fast_limit)) {
    if (!(ax <= 1.7976931348623157e308)) return x - x;  // NaN stays, an infinity is invalid
    return wide::sin(x);
  }
  // rho = ax - n pi/2: the first difference is exact (Sterbenz), the second an exact
  // two_sum, the rest add 3 u2 |rho| and 2 u2 |n pio2_cut[2..3]|; what the cut
  // leaves of pi/2 adds n 2^-156 < 2^-136. So rho is within 2^-102 |rho| + 2^-135.
  const int n = static_cast<int>(ax * 0.63661977236758134 + 0.5);
  const double fn = n;
  const double r1 = ax - fn * pio2_cut[0];
  DD rho = two_sum(r1, -(fn * pio2_cut[1]));
  rho = add(rho, neg(add(two_prod(fn, pio2_cut[3]), fn * pio2_cut[2])));
  const bool rho_negative = rho.hi < 0.0;
  if (rho_negative) rho = neg(rho);
  const bool cosine = (n & 1) != 0;
  DD r = sin_cos_reduced(rho, cosine);
  // The error of rho passes with a factor at most 1, and |sin rho| >= 0.63 rho:
  // in all within 2^-96.5 |r| + 2^-135.
  const bool negative = (((n & 2) != 0) != (!cosine && rho_negative)) != (x < 0.0);
  if (negative) r = neg(r);
  double out;
  if (rounds_alike(r, std::fabs(r.hi) * 0x1p-93 + 0x1p-132, out)) return out;
  return wide::sin(x);
}

// ---- Hyperbolic sine and cosine ---------------------------------------------------

namespace {

// sinh |x| or cosh x for 2^-27 <= |x| < 711; the caller has taken out the cases
// decided without arithmetic.
double hyperbolic(double ax, bool cosine) {
  const char* name = cosine ? "cosh" : "sinh";
  DD s;
  double err;
  int scale = 0;
  if (!cosine && ax < 0x1p-5) {
    // sinh x = x + x v (1/6 + v (1/120 + v q)), q = 1/7! + v/9! + v^2/11! + v^3/13!,
    // v = x^2 < 2^-10 exactly as a double-double. Truncation below 2^-110 |x|; q is
    // within 2^-51, weighed by v q 120 < 2^-15.4, v/20 and v/6 it leaves below
    // 2^-94 |x|; the double-double steps below 2^-100 |x|.
    const DD v = two_prod(ax, ax);
    const double vh = v.hi;
    const double q = 1.0 / 5040.0 + vh * (1.0 / 362880.0 + vh * (1.0 / 39916800.0 + vh * (1.0 / 6227020800.0)));
    const DD p = add(sixth_dd, mul(v, add(inv120_dd, vh * q)));
    s = add(mul(mul(v, p), ax), ax);
    err = ax * 0x1p-90;
  } else {
    // e^ax = 2^m 2^(j/256) e^r, k = 256 m + j < 2^19, r = ax - k ln2/256 with
    // |r| <= 2^-9.5: the first difference is exact (Sterbenz), the second an exact
    // two_sum; k * ln2_256_cut[2] rounds by 2^-113, the cut leaves k 2^-133 and the
    // last sum 3 u2 |r|: r is within 2^-111.5, so e^r within 2^-111.4 relatively.
    const int k = static_cast<int>(ax * 369.32953368062677 + 0.5);
    const int j = k & 255, m = k >> 8;
    const double fk = k;
    DD r = two_sum(ax - fk * ln2_256_cut[0], -(fk * ln2_256_cut[1]));
    r = add(r, -(fk * ln2_256_cut[2]));
    // e^r = 1 + r + r^2 (1/2 + r (1/6 + r q)), q = 1/24 + r/120 + r^2/720 + r^3/5040
    // + r^4/8!. Truncation below 2^-104; q within 2^-51, so r q within 2^-65.3 and
    // its weight r r^2 leaves below 2^-93.9; the double-double steps 30 u2. With the
    // table's u2, E is within 2^-93.5 |E|.
    const double rh = r.hi;
    const double q = 1.0 / 24.0 + rh * (1.0 / 120.0 + rh * (1.0 / 720.0 + rh * (1.0 / 5040.0 + rh * (1.0 / 40320.0))));
    const DD b = add(mul(r, add(sixth_dd, rh * q)), 0.5);
    const DD er = add(add(r, mul(mul(r, r), b)), 1.0);
    const DD E = mul(exp2_tab[j], er);
    // sinh or cosh = 2^(m-1) (E -+ 2^-2m / E). 1/E is within 2^-93.4 relatively; the
    // sum adds 3 u2 |s|. For m >= 60 the second term is below 2^-120 and left out.
    if (m < 60) {
      const DD inv = recip(E);
      const double w = pow2(-2 * m);
      const DD t{inv.hi * w, inv.lo * w};  // exact: w is a power of two, no underflow
      s = add(E, cosine ? t : neg(t));
      err = (E.hi + t.hi) * 0x1p-90;
    } else {
      s = E;
      err = E.hi * 0x1p-90 + 0x1p-117;
    }
    scale = m - 1;
  }
  double v;
  if (!rounds_alike(s, err, v)) {
    const wide::Scaled w = wide::sinh_cosh(ax, cosine);
    if (w.e + 52 >= 1024) math_error(name, MathKind::overflow);
    return std::ldexp(w.m, w.e);
  }
  // v * 2^scale, 1 <= v < 4 or (small x) 2^-5 < v: beyond DBL_MAX exactly when its
  // exponent reaches 1024, and exact otherwise.
  if (exponent_of(v) + scale >= 1024) math_error(name, MathKind::overflow);
  if (scale > 1023) return (v * 4.0) * pow2(scale - 2);
  return scale == 0 ? v : v * pow2(scale);
}

}  // namespace

double m_sinh(double x) {
  const double ax = std::fabs(x);
  if (!(ax < 711.0)) {  // e^711 / 2 > 2^1024
    if (ax != ax) {
      if (signalling_nan(x)) math_error("sinh", MathKind::domain);
      return x;
    }
    if (ax > 1.7976931348623157e308) return x;
    math_error("sinh", MathKind::overflow);
  }
  // sinh x = x (1 + d), 0 <= d < x^2/6 < 2^-54: x is the nearest double.
  if (ax < 0x1p-26) return x;
  const double r = hyperbolic(ax, false);
  return x < 0.0 ? -r : r;
}

double m_cosh(double x) {
  const double ax = std::fabs(x);
  if (!(ax < 711.0)) {
    if (ax != ax) {
      if (signalling_nan(x)) math_error("cosh", MathKind::domain);
      return x;
    }
    if (ax > 1.7976931348623157e308) return ax;
    math_error("cosh", MathKind::overflow);
  }
  // cosh x = 1 + d, 0 <= d < x^2/2 (1 + x^2) < 2^-54: 1 is the nearest double.
  if (ax < 0x1p-27) return 1.0;
  return hyperbolic(ax, true);
}

// ---- Arccosine ---------------------------------------------------------------------

namespace {

// c_k = (2k)! / (4^k (k!)^2 (2k+1)), the coefficients of asin t = t + t v sum c_k v^(k-1).
struct AsinCoefficients {
  double c[30];
  constexpr AsinCoefficients() : c{} {
    double ck = 1.0 / 6.0;
    for (int k = 1; k <= 30; ++k) {
      c[k - 1] = ck;
      ck = ck * ((2.0 * k + 1.0) * (2.0 * k + 1.0)) / (2.0 * (k + 1.0) * (2.0 * k + 3.0));
    }
  }
};
constexpr AsinCoefficients asin_c;

// asin t for |t| <= 1/2 (a double-double), within 2^-57 |asin t|:
//   asin t = t + t v (1/6 + v A(v)), v = t^2 <= 1/4, A(v) = sum_k c_(k+1) v^(k-1).
// After 30 terms the rest is below 2^-64 |t|. A's coefficients and Horner sum are
// within 2^-51 relatively; v A / (1/6) <= 0.12 and t v (1/6 + v A) <= 0.045 asin t
// leave 2^-58.5, the double-double steps and v rounded to a double 2^-57.5.
DD asin_half(DD t) {
  const DD v = two_prod(t.hi, t.hi);
  double a = asin_c.c[29];
  for (int k = 28; k >= 1; --k) a = asin_c.c[k] + v.hi * a;
  const DD p = add(sixth_dd, v.hi * a);
  return add(t, mul(t, mul(v, p)));
}

}  // namespace

double m_acos(double x) {
  if (!(x >= -1.0 && x <= 1.0)) {
    if (x != x && !signalling_nan(x)) return x;
    math_error("acos", MathKind::domain);
  }
  DD r;
  if (std::fabs(x) <= 0.5) {
    r = add(pio2_dd, neg(asin_half({x, 0.0})));  // pi/2 - asin x >= 1.04: no cancellation
  } else {
    // acos x = 2 asin s (x > 0) or pi - 2 asin s (x < 0), s = sqrt((1 - |x|) / 2);
    // 1 - |x| is exact (Sterbenz) and halving it too.
    const double h = (1.0 - std::fabs(x)) * 0.5;
    DD a{0.0, 0.0};
    if (h != 0.0) {
      const double sh = std::sqrt(h);
      const DD p = two_prod(sh, sh);
      const DD s = fast_two_sum(sh, ((h - p.hi) - p.lo) / (2.0 * sh));
      const DD as = asin_half(s);
      a = {2.0 * as.hi, 2.0 * as.lo};
    }
    r = x > 0.0 ? a : add(pi_dd, neg(a));
  }
  return r.hi + r.lo;
}

}  // namespace rt
