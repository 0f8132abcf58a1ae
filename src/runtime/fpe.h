// Floating-point environment of the process.
//
// Invalid operation, division by zero and overflow trap for the whole process
// (denormal, underflow and inexact stay masked); a trapped fault ends the run with
// "run-time error M61xx: MATH". The elementary functions, which report their own
// errors as math errors of the routine, are in runtime/elementary.h.
#pragma once

#include "runtime/elementary.h"
#include "runtime/platform/platform.h"

namespace rt {

void enable_fp_traps();

// Every floating-point trap masked for the object's lifetime, the caller's
// environment restored after; raised() tells the flags set in between.
using FpMasked = plat::FpMasked;

// The rounding mode and the rest of the caller's environment, for threads that
// must compute as the caller does.
using FpModes = plat::FpModes;
inline FpModes fp_modes() { return plat::fp_modes(); }
inline void set_fp_modes(const FpModes& modes) { plat::set_fp_modes(modes); }

}  // namespace rt
