// The elementary functions against MPFR: correctly rounded sin, sinh and cosh,
// faithful acos, on random arguments of every domain, on the arguments the
// program meets, near overflow and below the thresholds of the short cuts, and
// the wide fixed-point path on its own.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "mpfr_reference.h"
#include "runtime/elementary.h"
#include "runtime/elementary_wide.h"
#include "runtime/fpe.h"
#include "support.h"

namespace {

using mpfr_ref::call;
using mpfr_ref::Fn;

constexpr int random_count = 100000;

const char* name(Fn f) {
  switch (f) {
    case Fn::sin: return "sin";
    case Fn::sinh: return "sinh";
    case Fn::cosh: return "cosh";
    case Fn::acos: return "acos";
  }
  return "";
}

double from_bits(std::uint64_t b) {
  double d;
  std::memcpy(&d, &b, sizeof d);
  return d;
}

// Counts the arguments whose result is not the correctly rounded one and shows
// the first few.
int misrounded(Fn f, const std::vector<double>& xs) {
  int bad = 0;
  for (double x : xs) {
    const double got = call(f, x), want = mpfr_ref::eval(f, x);
    if (!mpfr_ref::same_bits(got, want) && ++bad <= 5) {
      ADD_FAILURE() << name(f) << std::hexfloat << "(" << x << ") = " << got << ", correctly rounded " << want;
    }
  }
  return bad;
}

// Uniform on [lo, hi] and, as many again, random bit patterns of magnitude in
// [2^elo, 2^ehi) with either sign.
std::vector<double> random_args(std::uint64_t seed, double lo, double hi, int elo, int ehi) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> uni(lo, hi);
  std::uniform_int_distribution<int> exp(elo, ehi - 1);
  std::vector<double> xs;
  for (int i = 0; i < random_count; ++i) xs.push_back(uni(gen));
  for (int i = 0; i < random_count; ++i) {
    const std::uint64_t frac = gen() & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t sign = (gen() & 1u) << 63;
    xs.push_back(from_bits(sign | (static_cast<std::uint64_t>(exp(gen) + 1023) << 52) | frac));
  }
  return xs;
}

// `count` doubles on each side of x, x included.
std::vector<double> around(double x, int count) {
  std::vector<double> xs{x};
  double up = x, down = x;
  for (int i = 0; i < count; ++i) {
    up = std::nextafter(up, INFINITY);
    down = std::nextafter(down, -INFINITY);
    xs.push_back(up);
    xs.push_back(down);
  }
  return xs;
}

// The sine and hyperbolic sine arguments of a grid as the program forms them,
// (x(i) / L) * pi with x(i) = (i - 1) * (L / (n - 1)).
std::vector<double> grid_args(double pi) {
  std::vector<double> xs;
  for (double L : {1.0, 0.3, 2.0, 7.0, 10.0, 0.1}) {
    for (int n : {2, 3, 5, 10, 11, 101, 257, 1001}) {
      const double d = L / (n - 1);
      for (int i = 1; i <= n; ++i) xs.push_back(((i - 1) * d / L) * pi);
    }
  }
  return xs;
}

TEST(ElementaryMpfr, SineIsCorrectlyRoundedOnRandomArguments) {
  EXPECT_EQ(misrounded(Fn::sin, random_args(1, -4.0, 4.0, -30, 22)), 0);
  // Beyond 2^21 every argument takes the wide path, so fewer of them.
  std::vector<double> huge = random_args(6, 0.0, 0.0, 21, 1024);
  huge.erase(huge.begin(), huge.begin() + random_count);
  huge.resize(2000);
  EXPECT_EQ(misrounded(Fn::sin, huge), 0);
}

TEST(ElementaryMpfr, HyperbolicSineAndCosineAreCorrectlyRoundedOnRandomArguments) {
  const std::vector<double> xs = random_args(2, -711.0, 711.0, -30, 10);
  std::vector<double> finite;
  for (double x : xs) {
    if (std::fabs(x) < 710.0) finite.push_back(x);
  }
  EXPECT_EQ(misrounded(Fn::sinh, finite), 0);
  EXPECT_EQ(misrounded(Fn::cosh, finite), 0);
}

TEST(ElementaryMpfr, ArgumentsOfTheProgramAreCorrectlyRounded) {
  const double pi = rt::m_acos(-1.0);
  EXPECT_EQ(pi, 0x1.921fb54442d18p+1);
  std::vector<double> xs = grid_args(pi);
  for (double k : {1.0, 2.0}) {
    const std::vector<double> near = around(k * 0x1.921fb54442d18p+0, 50);
    xs.insert(xs.end(), near.begin(), near.end());
  }
  EXPECT_EQ(misrounded(Fn::sin, xs), 0);
  // Tall plates: sinh up to pi * 226.
  for (double& x : xs) x *= 226.0 / 4.0;
  EXPECT_EQ(misrounded(Fn::sinh, xs), 0);
  EXPECT_EQ(misrounded(Fn::cosh, xs), 0);
}

TEST(ElementaryMpfr, ShortCutThresholdsAndTinyArgumentsAreCorrectlyRounded) {
  std::vector<double> xs{0.0, -0.0, DBL_TRUE_MIN, -DBL_TRUE_MIN, DBL_MIN, 0x1.8p-1000};
  for (double t : {0x1p-27, 0x1p-26, 0x1p-5, 1.0, 0.78, 1.6e6}) {
    for (double s : {t, -t}) {
      const std::vector<double> near = around(s, 20);
      xs.insert(xs.end(), near.begin(), near.end());
    }
  }
  EXPECT_EQ(misrounded(Fn::sin, xs), 0);
  std::erase_if(xs, [](double x) { return std::fabs(x) > 710.0; });
  EXPECT_EQ(misrounded(Fn::sinh, xs), 0);
  EXPECT_EQ(misrounded(Fn::cosh, xs), 0);
}

// Arguments whose results lie within about 2^-50 units of a midpoint, from the
// first terms of the series: for x = m 2^(E-52) near 2^-26, sin x and sinh x are
// x -+ x^3/6 and x^3/6 is m^3 2^(2E-104)/6 units of x; cosh x is 1 + x^2/2, and
// x^2/2 is m^2 2^(2E-53) units of 1. The m nearest a half-integer count of units
// (and its neighbours) are where the fast path cannot decide.
std::vector<double> hard_args(bool cosine) {
  std::vector<double> xs;
  mpfr_t t, r;
  mpfr_init2(t, 256);
  mpfr_init2(r, 256);
  for (int E = cosine ? -27 : -26; E <= -22; ++E) {
    for (int j = 0; j < 4096; ++j) {
      // m = cbrt(6 (j + 1/2) 2^(104-2E)) or sqrt((j + 1/2) 2^(53-2E)).
      mpfr_set_d(t, j + 0.5, MPFR_RNDN);
      if (cosine) {
        mpfr_mul_2si(t, t, 53 - 2 * E, MPFR_RNDN);
        mpfr_sqrt(r, t, MPFR_RNDN);
      } else {
        mpfr_mul_ui(t, t, 6, MPFR_RNDN);
        mpfr_mul_2si(t, t, 104 - 2 * E, MPFR_RNDN);
        mpfr_cbrt(r, t, MPFR_RNDN);
      }
      mpfr_rint(r, r, MPFR_RNDN);
      const double m = mpfr_get_d(r, MPFR_RNDN);
      if (m < 0x1p52) continue;
      if (m >= 0x1p53) break;
      for (double d : {-1.0, 0.0, 1.0}) xs.push_back(std::ldexp(m + d, E - 52));
    }
  }
  mpfr_clear(t);
  mpfr_clear(r);
  return xs;
}

TEST(ElementaryMpfr, ResultsNextToMidpointsAreCorrectlyRounded) {
  const std::vector<double> odd = hard_args(false), even = hard_args(true);
  int hardest = 0;
  for (double x : odd) hardest += mpfr_ref::boundary_distance(Fn::sinh, x) < 0x1p-40;
  for (double x : even) hardest += mpfr_ref::boundary_distance(Fn::cosh, x) < 0x1p-40;
  RecordProperty("within_2^-40_of_a_midpoint", hardest);
  EXPECT_GT(hardest, 20);  // the construction does find hard cases
  std::vector<double> both = odd;
  for (double x : odd) both.push_back(-x);
  EXPECT_EQ(misrounded(Fn::sin, both), 0);
  EXPECT_EQ(misrounded(Fn::sinh, both), 0);
  EXPECT_EQ(misrounded(Fn::cosh, even), 0);
}

TEST(ElementaryMpfr, OverflowIsExactlyWhereTheRoundedResultPassesTheLargestDouble) {
  for (Fn f : {Fn::sinh, Fn::cosh}) {
    // The last argument with a finite correctly rounded result.
    double lo = 709.0, hi = 711.0;
    while (std::nextafter(lo, hi) != hi) {
      const double mid = lo + (hi - lo) / 2;
      (std::isinf(mpfr_ref::eval(f, mid)) ? hi : lo) = mid;
    }
    std::vector<double> below;
    for (double x = lo, i = 0; i < 2000; ++i, x = std::nextafter(x, 0.0)) below.push_back(x);
    EXPECT_EQ(misrounded(f, below), 0) << name(f);
    testsupport::RunResult r = testsupport::run_forked([&] {
      rt::enable_fp_traps();
      volatile double v = call(f, -hi);
      (void)v;
    });
    EXPECT_EQ(r.status, 1) << name(f);
    EXPECT_NE(r.err.find(std::string(name(f)) + ": OVERFLOW error"), std::string::npos) << r.err;
  }
}

TEST(ElementaryMpfr, WidePathAloneIsCorrectlyRounded) {
  // The slow path decides what the fast one cannot; here it decides everything.
  std::mt19937_64 gen(3);
  std::uniform_real_distribution<double> sine(-4.0, 4.0), hyper(0x1p-27, 711.0), small(0x1p-27, 1.0);
  int bad = 0;
  for (int i = 0; i < 2000; ++i) {
    double x = i % 3 == 0 ? from_bits((gen() >> 12) | (static_cast<std::uint64_t>(1023 - 26 + gen() % 1050) << 52))
                          : sine(gen);
    if (std::fabs(x) < 0x1p-26) x = 0x1p-26;
    bad += !mpfr_ref::same_bits(rt::wide::sin(x), mpfr_ref::eval(Fn::sin, x));
    for (bool cosine : {false, true}) {
      const double h = i % 2 ? hyper(gen) : small(gen);
      const rt::wide::Scaled s = rt::wide::sinh_cosh(h, cosine);
      const double want = mpfr_ref::eval(cosine ? Fn::cosh : Fn::sinh, h);
      const double got = s.e + 52 >= 1024 ? INFINITY : std::ldexp(s.m, s.e);
      bad += !mpfr_ref::same_bits(got, want);
    }
  }
  EXPECT_EQ(bad, 0);
}

TEST(ElementaryMpfr, ArccosineIsFaithfulAndExactAtItsEnds) {
  std::mt19937_64 gen(4);
  std::uniform_real_distribution<double> uni(-1.0, 1.0);
  int unfaithful = 0, misrounded_count = 0;
  for (int i = 0; i < random_count; ++i) {
    const double x =
        i % 2 ? uni(gen) : std::copysign(1.0 - std::ldexp(uni(gen) + 1.0, -static_cast<int>(gen() % 50)), uni(gen));
    const double got = rt::m_acos(x);
    const double down = mpfr_ref::eval(Fn::acos, x, MPFR_RNDD), up = mpfr_ref::eval(Fn::acos, x, MPFR_RNDU);
    if (got != down && got != up && ++unfaithful <= 5) ADD_FAILURE() << std::hexfloat << "acos(" << x << ") = " << got;
    misrounded_count += got != mpfr_ref::eval(Fn::acos, x);
  }
  EXPECT_EQ(unfaithful, 0);
  RecordProperty("acos_not_correctly_rounded", misrounded_count);
  for (double x : {-1.0, -0.5, 0.0, 0.5, 1.0}) EXPECT_EQ(rt::m_acos(x), mpfr_ref::eval(Fn::acos, x)) << x;
}

TEST(ElementaryMpfr, NoTrapFiresOnValidArguments) {
  const std::vector<double> xs = random_args(5, -711.0, 711.0, -1022, 1024);
  testsupport::RunResult r = testsupport::run_forked([&] {
    rt::enable_fp_traps();
    volatile double sink = 0.0;
    for (std::size_t i = 0; i < xs.size(); ++i) {
      const double x = xs[i];
      if (std::fabs(x) < 0x1p22 || i % 64 == 0) sink = rt::m_sin(x);  // the wide path is slow
      if (std::fabs(x) < 710.0) {
        sink = rt::m_sinh(x);
        sink = rt::m_cosh(x);
      }
      if (std::fabs(x) <= 1.0) sink = rt::m_acos(x);
    }
    (void)sink;
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

}  // namespace
