// Floating-point traps on Linux (glibc's feenableexcept): SIGFPE with the fault's kind in si_code.
#include <fenv.h>
#include <signal.h>

#include <cstdlib>
#include <cstring>

#include "runtime/platform/platform.h"

namespace rt::plat {

namespace {

alignas(16) char alt_stack[64 * 1024];
FpFaultHandler fault_handler = nullptr;

void on_sigfpe(int, siginfo_t* info, void*) {
  FpFault k = FpFault::invalid;  // FPE_FLTINV, and the codes no other kind fits
  switch (info ? info->si_code : 0) {
    case FPE_FLTDIV:
    case FPE_INTDIV: k = FpFault::divide_by_zero; break;
    case FPE_FLTOVF:
    case FPE_INTOVF: k = FpFault::overflow; break;
    case FPE_FLTUND: k = FpFault::underflow; break;
    case FPE_FLTRES: k = FpFault::inexact; break;
    default: break;
  }
  if (fault_handler != nullptr) fault_handler(k);
  std::abort();
}

}  // namespace

void enable_fp_traps(FpFaultHandler handler) {
  fault_handler = handler;
  stack_t ss{};
  ss.ss_sp = alt_stack;
  ss.ss_size = sizeof alt_stack;
  ::sigaltstack(&ss, nullptr);

  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_sigaction = on_sigfpe;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGFPE, &sa, nullptr);

  ::feclearexcept(FE_ALL_EXCEPT);
  ::feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
}

FpMasked::FpMasked() {
  ::feholdexcept(&saved_);  // saves, clears the flags and masks every trap
}

FpMasked::~FpMasked() { ::fesetenv(&saved_); }

int FpMasked::raised() const { return ::fetestexcept(FE_ALL_EXCEPT); }

FpModes fp_modes() {
  FpModes m;
  ::fegetenv(&m);
  return m;
}

void set_fp_modes(const FpModes& modes) { ::fesetenv(&modes); }

}  // namespace rt::plat
