// Floating-point environment of the process.
//
// Invalid operation, division by zero and overflow trap for the whole process
// (denormal, underflow and inexact stay masked); a trapped fault ends the run with
// "run-time error M61xx: MATH". The elementary functions, which report their own
// errors as math errors of the routine, are in runtime/elementary.h.
#pragma once

#include "runtime/elementary.h"

namespace rt {

void enable_fp_traps();

}  // namespace rt
