// The program's own elementary functions, the same bits on every platform.
//
// m_sin, m_sinh and m_cosh are correctly rounded to nearest for every double
// argument; m_acos is faithful (error below one unit in the last place) and
// exact-to-the-rounding at -1, 0 and 1, so pi = m_acos(-1) is the double nearest
// pi. None of them fires a floating-point trap on a valid argument; their own
// errors are run-time math errors:
//   m_acos:  |x| > 1 or a signalling NaN            "acos: DOMAIN error"   (M6201)
//   m_sinh:  correctly rounded |sinh x| above DBL_MAX "sinh: OVERFLOW error" (M6203)
//   m_cosh:  likewise                                "cosh: OVERFLOW error" (M6203)
//   m_sinh, m_cosh: a signalling NaN                 "...: DOMAIN error"    (M6201)
// A quiet NaN comes back unchanged and infinities give infinities, as from the C
// library; m_sin of an infinity is the invalid operation the library performs.
//
//   m_sin(0x1.921fb54442d18p+1)  == 0x1.1a62633145c07p-53  (the double nearest pi)
//   m_sinh(0x1.633ce8fb9f87dp+9) == 0x1.ffffffffffd3bp+1023  (710.47586007394386)
//   m_sinh(0x1.633ce8fb9f87ep+9) -> "sinh: OVERFLOW error"     (710.47586007394398;
//                                   cosh has the same last finite argument)
#pragma once

#include "runtime/fp_model.h"

namespace rt {

double m_sin(double x);
double m_sinh(double x);
double m_cosh(double x);
double m_acos(double x);

}  // namespace rt
