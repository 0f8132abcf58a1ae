// Floating-point environment of the process and the checked math routines.
//
// Invalid operation, division by zero and overflow trap for the whole process
// (denormal, underflow and inexact stay masked); a trapped fault ends the run with
// "run-time error M61xx: MATH". The routines below report their own errors instead,
// as "<name>: <KIND> error" (M6201 DOMAIN, M6203 OVERFLOW), and otherwise return
// exactly what the C library returns.
#pragma once

namespace rt {

void enable_fp_traps();

double m_acos(double x);  // DOMAIN outside [-1, 1]
double m_sinh(double x);  // OVERFLOW when the result is beyond the double range
double m_cosh(double x);  // OVERFLOW likewise
double m_sin(double x);   // plain sine (listed so all routines come from one place)

}  // namespace rt
