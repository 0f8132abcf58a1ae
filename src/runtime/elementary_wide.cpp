#include "runtime/elementary_wide.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace rt::wide {

namespace {

// ---- Fixed point -----------------------------------------------------------------

// Least significant limb first, no leading zero limbs (zero is empty).
using Limbs = std::vector<std::uint32_t>;

// Sign and magnitude, counted in units of 2^-F for an F the caller keeps.
struct Fixed {
  Limbs mag;
  bool neg = false;
};

void trim(Limbs& a) {
  while (!a.empty() && a.back() == 0) a.pop_back();
}

int cmp_mag(const Limbs& a, const Limbs& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

Limbs add_mag(const Limbs& a, const Limbs& b) {
  const Limbs& l = a.size() >= b.size() ? a : b;
  const Limbs& s = a.size() >= b.size() ? b : a;
  Limbs r(l.size() + 1);
  std::uint64_t c = 0;
  for (std::size_t i = 0; i < l.size(); ++i) {
    c += std::uint64_t{l[i]} + (i < s.size() ? s[i] : 0u);
    r[i] = static_cast<std::uint32_t>(c);
    c >>= 32;
  }
  r[l.size()] = static_cast<std::uint32_t>(c);
  trim(r);
  return r;
}

// a - b for a >= b.
Limbs sub_mag(const Limbs& a, const Limbs& b) {
  Limbs r(a.size());
  std::uint64_t borrow = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const std::uint64_t d = std::uint64_t{a[i]} - (i < b.size() ? b[i] : 0u) - borrow;
    r[i] = static_cast<std::uint32_t>(d);
    borrow = (d >> 63) & 1u;
  }
  trim(r);
  return r;
}

Limbs mul_mag(const Limbs& a, const Limbs& b) {
  if (a.empty() || b.empty()) return {};
  Limbs r(a.size() + b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    std::uint64_t c = 0;
    for (std::size_t j = 0; j < b.size(); ++j) {
      c += std::uint64_t{a[i]} * b[j] + r[i + j];
      r[i + j] = static_cast<std::uint32_t>(c);
      c >>= 32;
    }
    r[i + b.size()] = static_cast<std::uint32_t>(c);
  }
  trim(r);
  return r;
}

Limbs shl(const Limbs& a, int bits) {
  if (a.empty()) return {};
  const std::size_t limbs = static_cast<std::size_t>(bits) / 32;
  const int rest = bits % 32;
  Limbs r(a.size() + limbs + 1);
  for (std::size_t i = 0; i < a.size(); ++i) {
    const std::uint64_t v = std::uint64_t{a[i]} << rest;
    r[i + limbs] |= static_cast<std::uint32_t>(v);
    r[i + limbs + 1] |= static_cast<std::uint32_t>(v >> 32);
  }
  trim(r);
  return r;
}

// Truncating.
Limbs shr(const Limbs& a, int bits) {
  const std::size_t limbs = static_cast<std::size_t>(bits) / 32;
  if (limbs >= a.size()) return {};
  const int rest = bits % 32;
  Limbs r(a.size() - limbs);
  for (std::size_t i = 0; i < r.size(); ++i) {
    std::uint64_t v = a[i + limbs];
    if (i + limbs + 1 < a.size()) v |= std::uint64_t{a[i + limbs + 1]} << 32;
    r[i] = static_cast<std::uint32_t>(v >> rest);
  }
  trim(r);
  return r;
}

Fixed signed_value(Limbs mag, bool neg) {
  const bool n = neg && !mag.empty();
  return {std::move(mag), n};
}

Fixed add(const Fixed& a, const Fixed& b) {
  if (a.neg == b.neg) return signed_value(add_mag(a.mag, b.mag), a.neg);
  if (cmp_mag(a.mag, b.mag) >= 0) return signed_value(sub_mag(a.mag, b.mag), a.neg);
  return signed_value(sub_mag(b.mag, a.mag), b.neg);
}

Fixed negated(Fixed a) {
  a.neg = !a.neg && !a.mag.empty();
  return a;
}

Fixed sub(const Fixed& a, const Fixed& b) { return add(a, negated(b)); }

// Error below one unit (truncation).
Fixed mul(const Fixed& a, const Fixed& b, int F) { return signed_value(shr(mul_mag(a.mag, b.mag), F), a.neg != b.neg); }

Fixed mul_int(const Fixed& a, std::uint32_t k) {
  Limbs r(a.mag.size() + 1);
  std::uint64_t c = 0;
  for (std::size_t i = 0; i < a.mag.size(); ++i) {
    c += std::uint64_t{a.mag[i]} * k;
    r[i] = static_cast<std::uint32_t>(c);
    c >>= 32;
  }
  r[a.mag.size()] = static_cast<std::uint32_t>(c);
  trim(r);
  return signed_value(std::move(r), a.neg);
}

// Error below one unit (truncation).
Fixed div_int(const Fixed& a, std::uint32_t k) {
  Limbs r(a.mag.size());
  std::uint64_t rem = 0;
  for (std::size_t i = a.mag.size(); i-- > 0;) {
    const std::uint64_t cur = (rem << 32) | a.mag[i];
    r[i] = static_cast<std::uint32_t>(cur / k);
    rem = cur % k;
  }
  trim(r);
  return signed_value(std::move(r), a.neg);
}

Fixed one(int F) { return {shl(Limbs{1}, F), false}; }

// |x| * 2^F, exact when x has no bit below 2^-F.
Fixed from_double(double x, int F) {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int e = -1074;
  if (biased != 0) {
    m |= std::uint64_t{1} << 52;
    e = biased - 1075;
  }
  Limbs l{static_cast<std::uint32_t>(m), static_cast<std::uint32_t>(m >> 32)};
  trim(l);
  Fixed r{e + F >= 0 ? shl(l, e + F) : shr(l, -(e + F)), false};
  return signed_value(std::move(r.mag), x < 0);
}

int bit_length(const Limbs& a) {
  if (a.empty()) return 0;
  return static_cast<int>(32 * (a.size() - 1)) + std::bit_width(a.back());
}

// Near the value, for steering the reduction only.
double approx(const Fixed& a, int F) {
  if (a.mag.empty()) return 0.0;
  const std::size_t top = a.mag.size() - 1;
  double d = 0.0;
  const std::size_t low = top >= 2 ? top - 2 : 0;
  for (std::size_t i = top + 1; i-- > low;) d = d * 4294967296.0 + a.mag[i];
  d = std::ldexp(d, static_cast<int>(32 * low) - F);
  return a.neg ? -d : d;
}

// Nearest m * 2^e, m in [2^52, 2^53) (ties to even), of a nonzero magnitude.
struct Rounded {
  std::uint64_t m;
  int e;
  bool operator==(const Rounded&) const = default;
};

Rounded round_mag(const Limbs& a, int F) {
  const int len = bit_length(a);
  if (len <= 53) {
    const Limbs s = shl(a, 53 - len);
    std::uint64_t m = s[0];
    if (s.size() > 1) m |= std::uint64_t{s[1]} << 32;
    return {m, len - 53 - F};
  }
  const int drop = len - 53;
  const Limbs top = shr(a, drop);
  std::uint64_t m = top[0] | (std::uint64_t{top.size() > 1 ? top[1] : 0u} << 32);
  const std::size_t rb = static_cast<std::size_t>(drop - 1);
  const bool round = (a[rb / 32] >> (rb % 32)) & 1u;
  bool sticky = false;
  for (std::size_t i = 0; i < rb / 32 && !sticky; ++i) sticky = a[i] != 0;
  if (!sticky && rb % 32 != 0) sticky = (a[rb / 32] & ((std::uint32_t{1} << (rb % 32)) - 1)) != 0;
  int e = drop - F;
  if (round && (sticky || (m & 1u))) {
    if (++m == std::uint64_t{1} << 53) {
      m >>= 1;
      ++e;
    }
  }
  return {m, e};
}

// Ziv's test: every value within err of v rounds to the same double.
bool rounds_alike(const Fixed& v, const Fixed& err, int F, Scaled& out) {
  const Fixed lo = sub(v, err), hi = add(v, err);
  if (lo.mag.empty() || hi.mag.empty() || lo.neg != hi.neg) return false;
  const Rounded a = round_mag(lo.mag, F), b = round_mag(hi.mag, F);
  if (!(a == b)) return false;
  const double m = static_cast<double>(a.m);
  out = {lo.neg ? -m : m, a.e};
  return true;
}

Fixed units(double count) { return from_double(std::ceil(count), 0); }

// ---- Constants ---------------------------------------------------------------------

// Each is summed at 32 guard bits with an error of at most two units per term
// (fewer than 2^26 terms for any F used here), so after the guard bits are cut
// it is within 2 units of 2^-F.

// atan(1/m) at G bits.
Fixed atan_inv(std::uint32_t m, int G) {
  Fixed p = div_int(one(G), m);
  Fixed sum = p;
  for (std::uint32_t k = 1; !p.mag.empty(); ++k) {
    p = div_int(p, m * m);
    const Fixed t = div_int(p, 2 * k + 1);
    sum = (k & 1u) ? sub(sum, t) : add(sum, t);
  }
  return sum;
}

struct Cached {
  int F = -1;
  Fixed v;
};

// A constant at the largest F asked for so far, cut to the F asked for: cutting
// adds less than one unit and leaves less than one of the old two.
template <class Compute>
Fixed cut(Cached& c, int F, Compute compute) {
  if (c.F < F) c = {F, compute(F)};
  return {shr(c.v.mag, c.F - F), false};
}

// pi/2 = 8 atan(1/5) - 2 atan(1/239) (Machin).
Fixed half_pi(int F) {
  thread_local Cached c;
  return cut(c, F, [](int f) {
    const int G = f + 32;
    const Fixed v = sub(mul_int(atan_inv(5, G), 8), mul_int(atan_inv(239, G), 2));
    return Fixed{shr(v.mag, 32), false};
  });
}

// ln 2 = 2 atanh(1/3).
Fixed ln2(int F) {
  thread_local Cached c;
  return cut(c, F, [](int f) {
    const int G = f + 32;
    Fixed p = div_int(one(G), 3);
    Fixed sum = p;
    for (std::uint32_t k = 1; !p.mag.empty(); ++k) {
      p = div_int(p, 9);
      sum = add(sum, div_int(p, 2 * k + 1));
    }
    return Fixed{shr(mul_int(sum, 2).mag, 32), false};
  });
}

// ---- Series ------------------------------------------------------------------------

// Sum of x^(2k+s) / (2k+s)! (alternating when `alternate`), s = 1 (start at x) or
// 0 (start at 1), for |x| < 1. Each term is within 3 units of its exact value for
// the x given, and those of x2 = x^2 weigh less than 0.2 of the error of x2.
Fixed even_odd_series(const Fixed& start, const Fixed& x2, int s, bool alternate, int F, int& terms) {
  Fixed term = start, sum = start;
  terms = 1;
  for (std::uint32_t k = 1; !term.mag.empty(); ++k, ++terms) {
    term = div_int(div_int(mul(term, x2, F), 2 * k - 1 + s), 2 * k + s);
    sum = (alternate && (k & 1u)) ? sub(sum, term) : add(sum, term);
  }
  return sum;
}

// Sum of r^n / n!, |r| < 1/2: each term within 2 units for the r given; an error d
// in r moves the sum by at most e^|r| d < 1.7 d.
Fixed exp_series(const Fixed& r, int F, int& terms) {
  Fixed term = one(F), sum = term;
  terms = 1;
  for (std::uint32_t n = 1; !term.mag.empty(); ++n, ++terms) {
    term = div_int(mul(term, r, F), n);
    sum = add(sum, term);
  }
  return sum;
}

// Never reached (see the header); there the nearest of the estimate is taken.
constexpr int last_precision = 1 << 16;

}  // namespace

double sin(double x) {
  const double ax = std::fabs(x);
  int ex = 0;
  (void)std::frexp(ax, &ex);
  for (int P = 128;; P *= 2) {
    // The reduction costs as many bits as x has before the point.
    const int F = P + 96 + std::max(ex, 0);
    Fixed X = from_double(ax, F);  // exact: ax >= 2^-26 has no bit below 2^-79
    const Fixed H = half_pi(F);    // within 2 units
    // x - n pi/2 by steps while the rest exceeds pi/4; each step's n comes from
    // the doubles within a factor 2^-50 of the rest, so 21 steps reach any double.
    double count = 0.0;  // sum of |n|: X is within 2 count units
    int q = 0;
    for (;;) {
      const double d = approx(X, F);
      if (std::fabs(d) <= 0.78) break;
      const double n = std::nearbyint(d * 0.63661977236758134);
      if (n == 0.0) break;
      const Fixed N = from_double(n, 0);
      X = sub(X, signed_value(mul_mag(N.mag, H.mag), N.neg));
      count += std::fabs(n);
      q = (q + static_cast<int>(std::fmod(n, 4.0)) + 4) & 3;
    }
    const bool flip = X.neg;
    X.neg = false;
    const Fixed X2 = mul(X, X, F);
    int terms = 0;
    Fixed v = (q & 1) ? even_odd_series(one(F), X2, 0, true, F, terms) : even_odd_series(X, X2, 1, true, F, terms);
    // |X| < 0.79: the sum is within 1.4 d + 3 terms + 1 of exact for X's error d =
    // 2 count, taken here as 8 count + 4 terms + 8 units (count rounded up by 2^-40).
    const Fixed err = add({shl(units(count * (1.0 + 0x1p-40)).mag, 3), false}, units(4.0 * terms + 8.0));
    const bool negative = ((q >= 2) != ((q & 1) == 0 && flip)) != (x < 0);
    v = signed_value(std::move(v.mag), negative);
    Scaled r{};
    if (rounds_alike(v, P < last_precision ? err : Fixed{}, F, r)) return std::ldexp(r.m, r.e);
  }
}

Scaled sinh_cosh(double ax, bool hyperbolic_cosine) {
  for (int P = 128;; P *= 2) {
    const int F = P + 64;
    const Fixed A = from_double(ax, F);  // exact: ax >= 2^-27 has no bit below 2^-80
    Fixed v, err;
    int k = 0, terms = 0;
    if (ax < 1.0) {
      // The series directly (no cancellation): within 3 terms + 4 units.
      const Fixed A2 = mul(A, A, F);
      v = hyperbolic_cosine ? even_odd_series(one(F), A2, 0, false, F, terms)
                            : even_odd_series(A, A2, 1, false, F, terms);
      err = units(3.0 * terms + 4.0);
    } else {
      // (e^r 2^k -+ e^-r 2^-k) / 2 with r = ax - k ln2, |r| <= 0.35: r is within
      // 2k units, each exponential within 1.7 * 2k + 2 terms, so T below is within
      // 8k + 8 terms + 8 units.
      k = static_cast<int>(std::nearbyint(ax * 1.4426950408889634));
      const Fixed R = sub(A, mul_int(ln2(F), static_cast<std::uint32_t>(k)));
      int t1 = 0, t2 = 0;
      const Fixed ep = exp_series(R, F, t1);
      const Fixed em = exp_series(negated(R), F, t2);
      terms = std::max(t1, t2);
      const Fixed tail{shr(em.mag, 2 * k), false};
      v = hyperbolic_cosine ? add(ep, tail) : sub(ep, tail);
      err = units(8.0 * k + 8.0 * terms + 8.0);
      --k;
    }
    Scaled r{};
    if (rounds_alike(v, P < last_precision ? err : Fixed{}, F, r)) return {r.m, r.e + k};
  }
}

}  // namespace rt::wide
