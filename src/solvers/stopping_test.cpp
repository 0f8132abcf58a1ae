// Why an unordered sum may decide that a solve goes on.
//
// Let t_1 .. t_n be the |r| of the n interior nodes after a sweep. The ordered
// sum E (the reference's L1) and the unordered sum S add the same doubles: both
// take each residual by the reference's operations. Let X be their exact sum
// and u = 2^-52, which bounds the relative error of one rounded operation in the
// normal range in every rounding mode (the caller's is used). Sums of
// non-negative doubles lose nothing to underflow (a sum of subnormals is exact),
// and recursive summation in any order or tree gives |sum - X| <= g*X with
// g = (n-1)u / (1 - (n-1)u). So S <= (1+g)X and E >= (1-g)X, hence
//   E >= S (1-g)/(1+g) >= S (1 - 2g),   and with n <= 2^40, 2g <= 2.001 (n-1) u.
// The test forms l = fl(S * d), d = fl(1 - delta), delta = (n+1) 2^-50 (an
// integer below 2^53 times a power of two: exact; inflated only upwards):
//   d <= 1 - delta + 2^-53     (d lies in [1/2, 1), where a rounding moves it
//                               by less than 2^-53)
//   l <= S d (1 + u)           (S >= 2^-900 keeps S d normal)
//     <= S (1 - 4(n+1)u + 2^-53 + u) <= S (1 - 2.001 (n-1) u) <= E.
// A division by L1(0) > 0 is monotone in its numerator in every rounding mode,
// so fl(l / L1(0)) > tol gives fl(E / L1(0)) > tol: the reference's ratio is
// above tol and its test does not stop the solve. Every other outcome is left
// to the exact norms.
//
// Why nothing in a decided sweep can trap. Each update is a convex combination
// of neighbours when aE, aN >= 0 and 2(aE + aN) <= aP (1 + 2^-40); with the
// roundings of its five operations the largest |T| grows by less than a factor
// 1 + 2^-39 a sweep, under 1.01 over 2^31 sweeps: |T| <= 2M, M the largest |T|
// before sweep 1. Every term of a residual is then below R = 8 M (aP + aE + aN)
// <= 2^450, r*r below 2^900, the sums below 2^41 times that, and their ratio to
// L1(0) >= 2^-400 finite: no norm overflows, none is NaN, no ratio divides by
// zero. Solves outside these bounds (a huge plate, a tiny spacing, a field
// already out of range, L1(0) of 0) take the exact norms on every sweep and meet
// their faults where the reference does.
#include "solvers/stopping_test.h"

#include <cmath>
#include <cstddef>

#include "solvers/lanes.h"

#define CALOR2D_INLINE inline __attribute__((always_inline))

namespace solvers {

namespace {

using Index = std::ptrdiff_t;
using lanes::Vec;

constexpr double large = 0x1p400;

template <int L>
CALOR2D_INLINE void abs_residuals(const double* s, const double* c, const double* n, double aP, double aE, double aN,
                                  Vec<L>& out) {
  Vec<L> tn, ts, te, tw, tc;
  lanes::load<L>(n, tn);
  lanes::load<L>(s, ts);
  lanes::load<L>(c + 1, te);
  lanes::load<L>(c - 1, tw);
  lanes::load<L>(c, tc);
  const Vec<L> a = tn + ts;
  const Vec<L> b = a * aN;
  const Vec<L> cc = te + tw;
  const Vec<L> d = cc * aE;
  const Vec<L> e = b + d;
  const Vec<L> f = tc * aP;
  lanes::magnitude<L>(e - f, out);
}

// Four vectors of partial sums, so the additions of one row overlap.
template <int L>
CALOR2D_INLINE double sum_rows(double aP, double aE, double aN, int Nx, const double* south, const double* centre,
                               const double* north, int rows) {
  Vec<L> acc[4] = {};
  double rest = 0.0;
  const Index n = Nx - 2;
  for (int m = 0; m < rows; ++m) {
    const Index o = static_cast<Index>(m) * Nx;
    const double *s = south + o, *c = centre + o, *nn = north + o;
    Index i = 0;
    for (; i + 4 * L <= n; i += 4 * L) {
#pragma GCC unroll 4
      for (int v = 0; v < 4; ++v) {
        Vec<L> ar;
        abs_residuals<L>(s + i + v * L, c + i + v * L, nn + i + v * L, aP, aE, aN, ar);
        acc[v] = acc[v] + ar;
      }
    }
    for (; i + L <= n; i += L) {
      Vec<L> ar;
      abs_residuals<L>(s + i, c + i, nn + i, aP, aE, aN, ar);
      acc[0] = acc[0] + ar;
    }
    for (; i < n; ++i) {
      const double a = nn[i] + s[i];
      const double r = (a * aN + (c[i + 1] + c[i - 1]) * aE) - c[i] * aP;
      rest = rest + std::fabs(r);
    }
  }
  const Vec<L> all = (acc[0] + acc[1]) + (acc[2] + acc[3]);
  for (int l = 0; l < L; ++l) rest = rest + all[l];
  return rest;
}

double sum_portable(double aP, double aE, double aN, int Nx, const double* s, const double* c, const double* n,
                    int rows) {
  return sum_rows<2>(aP, aE, aN, Nx, s, c, n, rows);
}
#if defined(__x86_64__) || defined(__i386__)
#define CALOR2D_X86 1
__attribute__((target("avx2"))) double sum_avx2(double aP, double aE, double aN, int Nx, const double* s,
                                                const double* c, const double* n, int rows) {
  return sum_rows<4>(aP, aE, aN, Nx, s, c, n, rows);
}
__attribute__((target("avx512f"))) double sum_avx512(double aP, double aE, double aN, int Nx, const double* s,
                                                     const double* c, const double* n, int rows) {
  return sum_rows<8>(aP, aE, aN, Nx, s, c, n, rows);
}
#endif

bool finite_within(double v, double bound) { return std::isfinite(v) && std::fabs(v) <= bound; }

}  // namespace

StoppingTest::StoppingTest(double aP, double aE, double aN, int Nx, int Ny, const double* T, double L1_0, double tol,
                           double inflation)
    : L1_0_(L1_0), tol_(tol) {
  if (Nx <= 2 || Ny <= 2) return;
  const double n = static_cast<double>(Nx - 2) * static_cast<double>(Ny - 2);
  if (n > 0x1p40 || !std::isfinite(tol) || !std::isfinite(L1_0) || !(L1_0 >= 0x1p-400)) return;
  if (!finite_within(aP, large) || !finite_within(aE, large) || !finite_within(aN, large)) return;
  if (!(aE >= 0.0 && aN >= 0.0 && aP > 0.0) || !((aE + aN) * 2.0 <= aP * (1.0 + 0x1p-41))) return;
  double M = 0.0;
  const std::size_t N = static_cast<std::size_t>(Nx) * static_cast<std::size_t>(Ny);
  for (std::size_t k = 1; k <= N; ++k) {
    if (!finite_within(T[k], large)) return;
    M = std::fmax(M, std::fabs(T[k]));
  }
  if (!(8.0 * M * (aP + aE + aN) <= 0x1p450)) return;
  const double delta = (n + 1.0) * 0x1p-50 * (inflation > 1.0 ? inflation : 1.0);
  shrink_ = 1.0 - delta;
  certain_ = true;
}

bool StoppingTest::surely_goes_on(double sum) const {
  if (!certain_ || !(sum >= 0x1p-900)) return false;
  const double low = sum * shrink_;
  if (!(low > 0.0)) return false;
  return low / L1_0_ > tol_;
}

double abs_residual_sum(fast::Path path, double aP, double aE, double aN, int Nx, const double* south,
                        const double* centre, const double* north, int rows) {
  switch (path) {
#ifdef CALOR2D_X86
    case fast::Path::avx512: return sum_avx512(aP, aE, aN, Nx, south, centre, north, rows);
    case fast::Path::avx2: return sum_avx2(aP, aE, aN, Nx, south, centre, north, rows);
#endif
    default: return sum_portable(aP, aE, aN, Nx, south, centre, north, rows);
  }
}

}  // namespace solvers
