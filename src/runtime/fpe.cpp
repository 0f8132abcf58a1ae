#include "runtime/fpe.h"

#include "runtime/errors.h"
#include "runtime/platform/platform.h"

namespace rt {

namespace {

// Async-signal-safe: a table read and the report's own exit path.
void on_fp_fault(plat::FpFault fault) {
  switch (fault) {
    case plat::FpFault::invalid: fp_error(Erro::fp_invalid);
    case plat::FpFault::denormal: fp_error(Erro::fp_denormal);
    case plat::FpFault::divide_by_zero: fp_error(Erro::fp_divide_by_zero);
    case plat::FpFault::overflow: fp_error(Erro::fp_overflow);
    case plat::FpFault::underflow: fp_error(Erro::fp_underflow);
    case plat::FpFault::inexact: fp_error(Erro::fp_inexact);
  }
  fp_error(Erro::fp_invalid);  // no other kind exists; the switch names each
}

}  // namespace

void enable_fp_traps() { plat::enable_fp_traps(on_fp_fault); }

}  // namespace rt
