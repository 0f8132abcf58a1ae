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
// (elementary_wide.h), which decides every case. A first stage in plain doubles,
// with a few exact products, comes before the double-double one and decides
// nearly every argument by the same test. The bounds below carry a margin of at
// least 8 over the sums of the steps' own bounds (6 in the sine's first stage).

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

// The first stage of m_sin, in doubles with one exact product; what it cannot
// decide (about one argument in 160) goes to the double-double stage. For
// 2^-26 <= ax < sin_fast_limit and n = round(ax 2/pi); u = 2^-53.
//   rho = rh + rl: ax - n pio2_cut[0..1] is exact as in m_sin, n pio2_cut[2] is
//   exact, n pio2_cut[3] and the two sums forming the low part round by at most
//   2^-106 |rho| + n 2^-120, the cut leaves n 2^-156; the last two_sum is exact. So
//   rho is within 2^-106 |rho| + n 2^-119, and |rl| <= 2^-53 |rh|.
//   rho = i/64 + t + rl, |t| <= 2^-7 (1 + 2^-50), v = t^2 in a double, and
//     sin(t + rl) = t + st3 + rl (1 + cm1) + d1,  st3 = t v (-1/6 + v (1/120 - v/5040)),
//     cos(t + rl) = 1 + cm1 - t rl + d2,          cm1 = v (-1/2 + v (1/24 + v (-1/720 + v/8!))),
//   with |d1|, |d2| <= |rl| 2^-23 + rl^2 and truncations below 2^-81.5 (st3) and
//   2^-91.8 (cm1). Computed, st3 is within 6u (v, the Horner sum, two products),
//   2^-74 |t|; cm1 within 3.5u, 2^-66.2.
//   sin rho = S + C t + [S cl + C sl], cos rho = C - S t + [C cl - S sl], with cl, sl
//   the parts above beside 1 and t, S = sin(i/64), C = cos(i/64) within u^2 |S|, |C|.
//   The product C t or S t is exact (two_prod) and so is its sum with S or C
//   (fast_two_sum: |t| <= 2^-7 < S for i >= 1). For i >= 1, |r| >= 2^-7 and
//   |r| >= S/2: the bracket is below 2^-13.7 |r|, and its roundings add at most
//   2^-64.8 |r|; cm1's error weighed by S <= 2|r| 2^-65.2 |r|, st3's 2^-67 |r|,
//   S.lo cl and C.lo sl left out 2^-67 |r|. In all within 2^-63.7 |r| + n 2^-119;
//   the bound used, 2^-61 |r| + n 2^-116, has a margin above 6. (i = 0: r = t + sl
//   or 1 + cl, within 2^-66 |r|; the cosine, with |r| >= 0.7, within 2^-64.5 |r|.)
bool sin_first(double ax, int n, double& out_abs, bool& negative) {
  const double fn = n;
  const DD rho0 = two_sum(ax - fn * pio2_cut[0], -(fn * pio2_cut[1]));
  const DD rho = two_sum(rho0.hi, rho0.lo - (fn * pio2_cut[2] + fn * pio2_cut[3]));
  double rh = rho.hi, rl = rho.lo;
  const bool rho_negative = rh < 0.0;
  if (rho_negative) {
    rh = -rh;
    rl = -rl;
  }
  const bool cosine = (n & 1) != 0;
  negative = ((n & 2) != 0) != (!cosine && rho_negative);
  const int i = static_cast<int>(rh * 64.0 + 0.5);
  const double t = rh - i * 0x1p-6;  // exact (Sterbenz, or i = 0)
  const double v = t * t;
  const double st3 = t * (v * (-1.0 / 6.0 + v * (1.0 / 120.0 + v * (-1.0 / 5040.0))));
  const double cm1 = v * (-0.5 + v * (1.0 / 24.0 + v * (-1.0 / 720.0 + v * (1.0 / 40320.0))));
  const double sl = rl + (st3 + rl * cm1), cl = cm1 - t * rl;
  DD r;
  if (i == 0) {
    r = cosine ? fast_two_sum(1.0, cl) : fast_two_sum(t, sl);
  } else {
    const DD S = sin_tab[i], C = cos_tab[i];
    if (cosine) {
      const DD p = two_prod(S.hi, -t);
      const DD h = fast_two_sum(C.hi, p.hi);
      const double lo = ((C.lo - S.lo * t + p.lo) + (C.hi * cl - S.hi * sl)) + h.lo;
      r = fast_two_sum(h.hi, lo);
    } else {
      const DD p = two_prod(C.hi, t);
      const DD h = fast_two_sum(S.hi, p.hi);
      const double lo = ((S.lo + C.lo * t + p.lo) + (S.hi * cl + C.hi * sl)) + h.lo;
      r = fast_two_sum(h.hi, lo);
    }
  }
  return rounds_alike(r, r.hi * 0x1p-61 + fn * 0x1p-116, out_abs);
}

}  // namespace

double m_sin(double x) {
  const double ax = std::fabs(x);
  // sin x = x (1 - d) with 0 <= d < x^2/6 < 2^-54: x itself is the nearest double.
  if (ax < 0x1p-26) return x;
  if (!(ax < sin_fast_limit)) {
    if (!(ax <= 1.7976931348623157e308)) return x - x;  // NaN stays, an infinity is invalid
    return wide::sin(x);
  }
  const int n = static_cast<int>(ax * 0.63661977236758134 + 0.5);
  {
    double r;
    bool negative;
    if (sin_first(ax, n, r, negative)) return (negative != (x < 0.0)) ? -r : r;
  }
  // rho = ax - n pi/2: the first difference is exact (Sterbenz), the second an exact
  // two_sum, the rest add 3 u2 |rho| and 2 u2 |n pio2_cut[2..3]|; what the cut
  // leaves of pi/2 adds n 2^-156 < 2^-136. So rho is within 2^-102 |rho| + 2^-135.
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

// v * 2^scale, 1 <= v < 4 or (small x) 2^-5 < v: beyond DBL_MAX exactly when its
// exponent reaches 1024, and exact otherwise.
double scaled_result(double v, int scale, const char* name) {
  if (exponent_of(v) + scale >= 1024) math_error(name, MathKind::overflow);
  if (scale > 1023) return (v * 4.0) * pow2(scale - 2);
  return scale == 0 ? v : v * pow2(scale);
}

// T (1 + P) with P = e^r - 1 in doubles, T = 2^(j/256) or a half of it from the table,
// |r - rh| <= 2^-60.5, |rh| <= 2^-9.47, q the Horner sum at rh (below). Within
// 2^-67.4 |T e^r|, as a normalised double-double.
//   e^r - 1 = rh + r2 q + rl + trunc, r2 = rh^2, q = 1/2 + rh (1/6 + rh (1/24 + rh
//   (1/120 + rh/720))): truncation below 2^-78.6; leaving rl out of the square
//   2^-69.9; r2 q within 3.2u, below 2^-71.2. T (1 + P) = Th + [Th rh] + (Tl + Tl rh
//   + Th (rl + r2 q)), the bracket exact (two_prod) and its sum with Th too; Tl (rl +
//   r2 q) left out is below 2^-70; five roundings of terms below 2^-18.6 |T| add
//   2^-69.3 |T|.
DD exp_piece(DD T, double rh, double rl, double r2q) {
  const DD p = two_prod(T.hi, rh);
  const DD h = fast_two_sum(T.hi, p.hi);
  const double lo = ((T.lo + T.lo * rh + T.hi * (rl + r2q)) + p.lo) + h.lo;
  return fast_two_sum(h.hi, lo);
}

// The first stage of hyperbolic(), in doubles with two exact products: true with
// s, err and scale as hyperbolic() forms them, false to leave the argument to the
// double-double stage (about one in 700 over [0, 710], one in 60 to 90 for sinh
// below 2^-4).
bool hyperbolic_first(double ax, bool cosine, DD& s, double& err, int& scale) {
  if (!cosine && ax < 0x1p-5) {
    // sinh x = x + x v q, q = 1/6 + v (1/120 + v (1/5040 + v (1/9! + v/11!))), v = x^2
    // a double: truncation below 2^-75 |x|; x v q within 4.2u, below 2^-63.5 |x|;
    // the sum with x is exact. Bound 2^-60 |x|, a margin of 11.
    const double v = ax * ax;
    const double q = 1.0 / 6.0 + v * (1.0 / 120.0 + v * (1.0 / 5040.0 + v * (1.0 / 362880.0 + v * (1.0 / 39916800.0))));
    s = fast_two_sum(ax, ax * (v * q));
    err = ax * 0x1p-60;
    scale = 0;
    return rounds_alike(s, err, s.hi);
  }
  // e^ax = 2^m 2^(j/256) e^r, r = rh + rl within 2^-111 (as in hyperbolic()),
  // |rl| <= 2^-60.5 (half an ulp of rh and k ln2_256_cut[2]).
  const int k = static_cast<int>(ax * 369.32953368062677 + 0.5);
  const int j = k & 255, m = k >> 8;
  const double fk = k;
  const DD r0 = two_sum(ax - fk * ln2_256_cut[0], -(fk * ln2_256_cut[1]));
  const double rh = r0.hi, rl = r0.lo - fk * ln2_256_cut[2];
  const double r2 = rh * rh;
  const double qp = 0.5 + rh * (1.0 / 6.0 + rh * (1.0 / 24.0 + rh * (1.0 / 120.0 + rh * (1.0 / 720.0))));
  const DD E = exp_piece(exp2_tab[j], rh, rl, r2 * qp);
  scale = m - 1;
  if (m >= 36) {
    // 2^-2m e^-ax / E < 2^-72 left out: within 2^-67.3 E, bound 2^-63 E.
    s = E;
    err = E.hi * 0x1p-63;
  } else {
    // e^-ax = 2^-m 2^(-j/256) e^-r, the table's 2^((256-j)/256) halved (exactly); q
    // at -rh. s = E -+ 2^-2m E' within 2^-67.3 (E + 2^-2m E'), the sum of the two
    // exact after the scaling by a power of two; bound 2^-64 (E + 2^-2m E'), a
    // margin of 10. (For sinh at x >= 2^-5 the two nearly cancel by at most 32.)
    const DD Tm = j == 0 ? DD{1.0, 0.0} : DD{exp2_tab[256 - j].hi * 0.5, exp2_tab[256 - j].lo * 0.5};
    const double qm = 0.5 - rh * (1.0 / 6.0 - rh * (1.0 / 24.0 - rh * (1.0 / 120.0 - rh * (1.0 / 720.0))));
    const DD Em = exp_piece(Tm, -rh, -rl, r2 * qm);
    const double w = pow2(-2 * m);
    const double bh = cosine ? Em.hi * w : -(Em.hi * w), bl = cosine ? Em.lo * w : -(Em.lo * w);
    const DD h = two_sum(E.hi, bh);
    s = fast_two_sum(h.hi, h.lo + (E.lo + bl));
    err = (E.hi + Em.hi * w) * 0x1p-64;
  }
  return rounds_alike(s, err, s.hi);
}

// sinh |x| or cosh x for 2^-27 <= |x| < 711; the caller has taken out the cases
// decided without arithmetic.
double hyperbolic(double ax, bool cosine) {
  const char* name = cosine ? "cosh" : "sinh";
  DD s;
  double err;
  int scale = 0;
  if (hyperbolic_first(ax, cosine, s, err, scale)) return scaled_result(s.hi, scale, name);
  scale = 0;
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
  return scaled_result(v, scale, name);
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
