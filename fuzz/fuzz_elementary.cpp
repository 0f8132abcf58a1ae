// Any 64-bit pattern through the elementary functions: sin, sinh and cosh give
// MPFR's correctly rounded result, acos one of the two doubles around the exact
// value. Arguments that end the run by design (overflow, |x| > 1, NaNs and
// infinities for sin) are left out.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../tests/mpfr_reference.h"
#include "runtime/elementary.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < sizeof(double)) return 0;
  double x;
  std::memcpy(&x, data, sizeof x);
  if (!std::isfinite(x)) return 0;
  using mpfr_ref::Fn;
  auto check = [x](const char* name, double got, double want) {
    if (!mpfr_ref::same_bits(got, want)) {
      std::fprintf(stderr, "%s(%a) = %a, correctly rounded %a\n", name, x, got, want);
      std::abort();
    }
  };
  check("sin", rt::m_sin(x), mpfr_ref::eval(Fn::sin, x));
  if (!std::isinf(mpfr_ref::eval(Fn::cosh, x))) {
    check("sinh", rt::m_sinh(x), mpfr_ref::eval(Fn::sinh, x));
    check("cosh", rt::m_cosh(x), mpfr_ref::eval(Fn::cosh, x));
  }
  if (std::fabs(x) <= 1.0) {
    const double got = rt::m_acos(x);
    if (got != mpfr_ref::eval(Fn::acos, x, MPFR_RNDD) && got != mpfr_ref::eval(Fn::acos, x, MPFR_RNDU)) {
      std::fprintf(stderr, "acos(%a) = %a is not faithful\n", x, got);
      std::abort();
    }
  }
  return 0;
}
