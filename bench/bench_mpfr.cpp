// The long check of the elementary functions against MPFR: 10^7 random
// arguments (or the count given) over each domain, uniform and by bit pattern;
// prints the wrong results, the count per domain and the argument found nearest
// a rounding boundary. Exit status 1 when any result is wrong.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "../tests/mpfr_reference.h"
#include "runtime/elementary.h"

namespace {

using mpfr_ref::call;
using mpfr_ref::Fn;

struct Domain {
  const char* label;
  Fn f;
  double lo, hi;  // uniform, or by bit pattern over magnitudes [2^lo, 2^hi)
  bool by_bits;
};

long check(const Domain& d, long count, std::uint64_t seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> uni(d.lo, d.hi);
  long wrong = 0, not_rounded = 0;
  double nearest = 1.0, nearest_x = 0.0;
  for (long i = 0; i < count; ++i) {
    double x;
    if (d.by_bits) {
      const int e = static_cast<int>(d.lo) + static_cast<int>(gen() % static_cast<std::uint64_t>(d.hi - d.lo));
      std::uint64_t b = (gen() & ((std::uint64_t{1} << 52) - 1)) | (static_cast<std::uint64_t>(e + 1023) << 52);
      b |= (gen() & 1u) << 63;
      std::memcpy(&x, &b, sizeof x);
      if (d.f != Fn::sin && std::fabs(x) > 710.0) x = std::fmod(x, 710.0);
    } else {
      x = uni(gen);
    }
    const double got = call(d.f, x);
    const double want = mpfr_ref::eval(d.f, x);
    bool ok = mpfr_ref::same_bits(got, want);
    if (d.f == Fn::acos && !ok) {
      ++not_rounded;
      ok = got == mpfr_ref::eval(d.f, x, MPFR_RNDD) || got == mpfr_ref::eval(d.f, x, MPFR_RNDU);
    }
    if (!ok && ++wrong <= 10) std::printf("  WRONG %s(%a) = %a, correctly rounded %a\n", d.label, x, got, want);
    if (i % 64 == 0) {
      const double dist = mpfr_ref::boundary_distance(d.f, x);
      if (dist < nearest) nearest = dist, nearest_x = x;
    }
  }
  std::printf("%-34s %10ld arguments  %ld wrong", d.label, count, wrong);
  if (d.f == Fn::acos) std::printf(" (faithful; %ld not correctly rounded)", not_rounded);
  std::printf("  nearest a boundary (1 in 64 looked at): %a at %.3g ulp\n", nearest_x, nearest);
  return wrong;
}

}  // namespace

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::atol(argv[1]) : 10000000L;
  const Domain domains[] = {
      {"sin, uniform on [-4, 4]", Fn::sin, -4.0, 4.0, false},
      {"sin, bits, 2^-30 <= |x| < 2^21", Fn::sin, -30, 21, true},
      {"sinh, uniform on [-710, 710]", Fn::sinh, -710.0, 710.0, false},
      {"sinh, bits, 2^-30 <= |x| < 710", Fn::sinh, -30, 10, true},
      {"cosh, uniform on [-710, 710]", Fn::cosh, -710.0, 710.0, false},
      {"cosh, bits, 2^-30 <= |x| < 710", Fn::cosh, -30, 10, true},
      {"acos, uniform on [-1, 1]", Fn::acos, -1.0, 1.0, false},
  };
  long wrong = 0;
  std::uint64_t seed = 11;
  for (const Domain& d : domains) wrong += check(d, count, seed++);
  return wrong == 0 ? 0 : 1;
}
