// Floating-point traps on Windows: unmasked exceptions of the SSE unit (and of the
// x87 unit, for 32-bit code that still uses it) reach a vectored exception handler.
#include <windows.h>

#include <float.h>

#include <cfenv>
#include <cmath>

#include "runtime/errors.h"
#include "runtime/platform/platform.h"

namespace rt::plat {

namespace {

// Traps wanted: invalid, divide by zero, overflow. A set bit masks.
constexpr unsigned int masked_kinds = _EM_DENORMAL | _EM_UNDERFLOW | _EM_INEXACT;

// Windows reports a trap of the SSE unit as "multiple traps" and leaves the kind
// to the status flags of MXCSR, as they stood at the faulting instruction.
Erro from_mxcsr(DWORD mxcsr) {
  DWORD pending = mxcsr & ~(mxcsr >> 7) & 0x3Fu;  // flags whose trap is enabled
  if (pending & 0x01u) return Erro::fp_invalid;
  if (pending & 0x04u) return Erro::fp_divide_by_zero;
  if (pending & 0x08u) return Erro::fp_overflow;
  if (pending & 0x10u) return Erro::fp_underflow;
  if (pending & 0x02u) return Erro::fp_denormal;
  if (pending & 0x20u) return Erro::fp_inexact;
  return Erro::fp_invalid;
}

DWORD faulting_mxcsr(const CONTEXT* ctx) {
#if defined(__x86_64__)
  return ctx->MxCsr;
#else
  // FXSAVE image: MXCSR sits at byte 24.
  DWORD v = 0;
  if ((ctx->ContextFlags & CONTEXT_EXTENDED_REGISTERS) == CONTEXT_EXTENDED_REGISTERS) {
    ::CopyMemory(&v, ctx->ExtendedRegisters + 24, sizeof v);
  }
  return v;
#endif
}

LONG CALLBACK on_exception(EXCEPTION_POINTERS* info) {
  Erro e;
  switch (info->ExceptionRecord->ExceptionCode) {
    case EXCEPTION_FLT_INVALID_OPERATION: case EXCEPTION_FLT_STACK_CHECK: e = Erro::fp_invalid; break;
    case EXCEPTION_FLT_DIVIDE_BY_ZERO: e = Erro::fp_divide_by_zero; break;
    case EXCEPTION_FLT_OVERFLOW: e = Erro::fp_overflow; break;
    case EXCEPTION_FLT_UNDERFLOW: e = Erro::fp_underflow; break;
    case EXCEPTION_FLT_DENORMAL_OPERAND: e = Erro::fp_denormal; break;
    case EXCEPTION_FLT_INEXACT_RESULT: e = Erro::fp_inexact; break;
    case STATUS_FLOAT_MULTIPLE_TRAPS: case STATUS_FLOAT_MULTIPLE_FAULTS:
      e = from_mxcsr(faulting_mxcsr(info->ContextRecord));
      break;
    default:
      return EXCEPTION_CONTINUE_SEARCH;  // C++ exceptions and the like are not ours
  }
  fp_error(e);
}

// The status word of _statusfp shares its bits with the masks (_SW_X == _EM_X).
int fe_bits(unsigned int status) {
  int r = 0;
  if (status & _EM_INVALID) r |= FE_INVALID;
  if (status & _EM_ZERODIVIDE) r |= FE_DIVBYZERO;
  if (status & _EM_OVERFLOW) r |= FE_OVERFLOW;
  if (status & _EM_UNDERFLOW) r |= FE_UNDERFLOW;
  if (status & _EM_INEXACT) r |= FE_INEXACT;
  return r;
}

}  // namespace

// The control word is the calling thread's: threads started later begin with every
// trap masked, so a worker that must trap sets its own (the solver's helper keeps
// its traps held and reports through the flags instead).
void enable_fp_traps() {
  ::AddVectoredExceptionHandler(1, on_exception);
  _clearfp();  // a flag left set would fire at the next instruction of the x87 unit
  unsigned int current;
  _controlfp_s(&current, masked_kinds, _MCW_EM);
}

struct SavedControl {
  unsigned int control;
};
static_assert(sizeof(SavedControl) <= 64, "FpMasked keeps the environment in 64 bytes");

FpMasked::FpMasked() {
  unsigned int current = 0;
  _controlfp_s(&current, 0, 0);
  reinterpret_cast<SavedControl*>(saved_)->control = current;
  _clearfp();
  _controlfp_s(&current, _MCW_EM, _MCW_EM);
}

FpMasked::~FpMasked() {
  _clearfp();
  unsigned int current;
  _controlfp_s(&current, reinterpret_cast<SavedControl*>(saved_)->control, _MCW_EM);
}

int FpMasked::raised() const { return fe_bits(_statusfp()); }

double sine(double x) {
  // The library's sine runs fsin, exact enough once the argument lies within
  // pi/4 of zero; only its own reduction by multiples of pi/2 loses bits. So x
  // is reduced here, in the three-step Cody-Waite form with pi/2 cut into
  // 33-bit pieces (fdlibm's constants), to a double-double y0 + y1 and a
  // quadrant n; the sum then goes through fsin/fcos in extended precision and
  // is rounded to double once.
  constexpr double two_over_pi = 6.36619772367581382433e-01;
  constexpr double pio2_1 = 1.57079632673412561417e+00, pio2_1t = 6.07710050650619224932e-11;
  constexpr double pio2_2 = 6.07710050630396597660e-11, pio2_2t = 2.02226624879595063154e-21;
  constexpr double pio2_3 = 2.02226624871116645580e-21, pio2_3t = 8.47842766036889956997e-32;
  double t = std::fabs(x);
  if (!(t < 823549.6875)) return std::sin(x);  // beyond 2^19 pi/2, NaN, infinity
  int n = static_cast<int>(t * two_over_pi + 0.5);
  double fn = n;
  double r = t - fn * pio2_1;
  double w = fn * pio2_1t;
  double y0 = r - w;
  int e = n > 0 ? std::ilogb(t) : 0;  // no ilogb(0): it may raise invalid
  if (n > 0 && e - std::ilogb(y0) > 16) {
    double u = r;
    w = fn * pio2_2;
    r = u - w;
    w = fn * pio2_2t - ((u - r) - w);
    y0 = r - w;
    if (e - std::ilogb(y0) > 49) {
      u = r;
      w = fn * pio2_3;
      r = u - w;
      w = fn * pio2_3t - ((u - r) - w);
      y0 = r - w;
    }
  }
  double y1 = (r - y0) - w;
  long double s = sinl(y0), c = cosl(y0);
  long double v;
  switch (n & 3) {
    case 0: v = s + y1 * c; break;
    case 1: v = c - y1 * s; break;
    case 2: v = -(s + y1 * c); break;
    default: v = -(c - y1 * s); break;
  }
  double result = static_cast<double>(v);
  return x < 0 ? -result : result;
}

}  // namespace rt::plat
