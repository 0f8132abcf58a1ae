// The slow path of the elementary functions: wide fixed-point arithmetic, taken
// when the double-double result lies too near a rounding boundary to decide.
//
// Each routine evaluates at F fractional bits with a bound on its error, and
// doubles F until every value within the bound rounds to the same double. The
// loop ends for every argument it is given: for a nonzero double x the exact
// sin x, sinh x and cosh x are transcendental (Lindemann-Weierstrass), so never a
// double nor a midpoint between two, and the bound shrinks with F.
#pragma once

namespace rt::wide {

// Correctly rounded sin x, for finite |x| >= 2^-26.
double sin(double x);

// Correctly rounded sinh |x| (hyperbolic = false) or cosh x (true), for
// 2^-27 <= |x| < 711, as a significand m (|m| in [2^52, 2^53), exact in a
// double) and the power of two it is scaled by: the caller decides overflow.
struct Scaled {
  double m;
  int e;
};
Scaled sinh_cosh(double ax, bool hyperbolic_cosine);

}  // namespace rt::wide
