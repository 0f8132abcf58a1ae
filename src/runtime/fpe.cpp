#include "runtime/fpe.h"

#include <cfenv>
#include <cmath>

#include "runtime/errors.h"
#include "runtime/platform/platform.h"

namespace rt {

namespace {

// Below this magnitude sinh and cosh are finite and raise nothing, so the traps
// can stay armed around the call.
constexpr double hyperbolic_safe = 709.0;

template <class F>
double checked(const char* name, F f, double x) {
  double r;
  int raised;
  {
    plat::FpMasked masked;
    r = f(x);
    raised = masked.raised();
  }
  if (raised & FE_OVERFLOW) math_error(name, MathKind::overflow);
  if (raised & (FE_INVALID | FE_DIVBYZERO)) math_error(name, MathKind::domain);
  return r;
}

}  // namespace

void enable_fp_traps() { plat::enable_fp_traps(); }

double m_acos(double x) {
  if (x >= -1.0 && x <= 1.0) return std::acos(x);
  return checked("acos", [](double v) { return std::acos(v); }, x);
}

double m_sinh(double x) {
  if (std::fabs(x) < hyperbolic_safe) return std::sinh(x);
  return checked("sinh", [](double v) { return std::sinh(v); }, x);
}

double m_cosh(double x) {
  if (std::fabs(x) < hyperbolic_safe) return std::cosh(x);
  return checked("cosh", [](double v) { return std::cosh(v); }, x);
}

double m_sin(double x) { return plat::sine(x); }

}  // namespace rt
