// Floating-point traps on Windows: unmasked exceptions of the SSE unit (and of the
// x87 unit, for 32-bit code that still uses it) reach a vectored exception handler.
#include <windows.h>

#include <float.h>
#include <xmmintrin.h>

#include <cfenv>
#include <cstdlib>

#include "runtime/platform/platform.h"

namespace rt::plat {

namespace {

// Traps wanted: invalid, divide by zero, overflow. A set bit masks.
constexpr unsigned int masked_kinds = _EM_DENORMAL | _EM_UNDERFLOW | _EM_INEXACT;
FpFaultHandler fault_handler = nullptr;

// Windows reports a trap of the SSE unit as "multiple traps" and leaves the kind
// to the status flags of MXCSR, as they stood at the faulting instruction.
FpFault from_mxcsr(DWORD mxcsr) {
  DWORD pending = mxcsr & ~(mxcsr >> 7) & 0x3Fu;  // flags whose trap is enabled
  if (pending & 0x01u) return FpFault::invalid;
  if (pending & 0x04u) return FpFault::divide_by_zero;
  if (pending & 0x08u) return FpFault::overflow;
  if (pending & 0x10u) return FpFault::underflow;
  if (pending & 0x02u) return FpFault::denormal;
  if (pending & 0x20u) return FpFault::inexact;
  return FpFault::invalid;
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
  FpFault k;
  switch (info->ExceptionRecord->ExceptionCode) {
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_STACK_CHECK: k = FpFault::invalid; break;
    case EXCEPTION_FLT_DIVIDE_BY_ZERO: k = FpFault::divide_by_zero; break;
    case EXCEPTION_FLT_OVERFLOW: k = FpFault::overflow; break;
    case EXCEPTION_FLT_UNDERFLOW: k = FpFault::underflow; break;
    case EXCEPTION_FLT_DENORMAL_OPERAND: k = FpFault::denormal; break;
    case EXCEPTION_FLT_INEXACT_RESULT: k = FpFault::inexact; break;
    case STATUS_FLOAT_MULTIPLE_TRAPS:
    case STATUS_FLOAT_MULTIPLE_FAULTS: k = from_mxcsr(faulting_mxcsr(info->ContextRecord)); break;
    default: return EXCEPTION_CONTINUE_SEARCH;  // C++ exceptions and the like are not ours
  }
  if (fault_handler != nullptr) fault_handler(k);
  std::abort();
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
void enable_fp_traps(FpFaultHandler handler) {
  fault_handler = handler;
  ::AddVectoredExceptionHandler(1, on_exception);
  _clearfp();  // a flag left set would fire at the next instruction of the x87 unit
  unsigned int current;
  _controlfp_s(&current, masked_kinds, _MCW_EM);
}

FpMasked::FpMasked() {
  unsigned int current = 0;
  _controlfp_s(&current, 0, 0);
  saved_.control = current;
  _clearfp();
  _controlfp_s(&current, _MCW_EM, _MCW_EM);
}

FpMasked::~FpMasked() {
  _clearfp();
  unsigned int current;
  _controlfp_s(&current, saved_.control, _MCW_EM);
}

int FpMasked::raised() const { return fe_bits(_statusfp()); }

// The whole register, as it stands: the rounding mode and the denormal controls
// with it (the masks do not matter to a thread that traps nowhere).
FpModes fp_modes() { return {_mm_getcsr()}; }

void set_fp_modes(const FpModes& modes) { _mm_setcsr(modes.mxcsr); }

}  // namespace rt::plat
