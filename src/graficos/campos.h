// The report's number fields read back: the inverse of its three edit descriptors.
//
// Each reader takes exactly one field, blanks included, and accepts only what the
// report's writer produces in that width; anything else is refused, so a damaged
// digit is caught rather than read as another value.
//
//   1P,E25.15  "    1.000000000000000E+00"   -> 1.0
//              "   -2.500000000000000E-07"   -> -2.5e-7
//              "    1.000000000000000-300"   -> 1e-300 (exponent beyond 99: no letter)
//              "1#INF...................."   -> +infinity (the report does not keep the sign)
//   F15.3      "           .500"             -> 0.5
//   I10        "        -1"                  -> -1
//
// The 16 printed digits are converted to the nearest double whatever the locale
// (runtime/decimal.h). A finite field beyond the largest double (DBL_MAX prints
// as 1.797693134862316E+308, which rounds to infinity) reads as +-DBL_MAX, so a
// finite value stays finite.
//
// The specials keep the bit pattern that the writer tells apart, so the value
// prints back as the same text: "1#IND" is the negative quiet NaN an invalid
// operation yields, "1#QNAN" the positive quiet NaN, "1#SNAN" a signalling NaN.
#pragma once

#include <cstdint>
#include <string_view>

namespace graficos {

bool ler_e25_15(std::string_view campo, double& v);

// Fifteen asterisks (a magnitude of 1e11 or more) read as a quiet NaN: the
// writer says the value did not fit, which is not damage.
bool ler_f15_3(std::string_view campo, double& v);

// Ten asterisks (only -2147483648 gives them) are refused: no count of the
// report can be negative.
bool ler_i10(std::string_view campo, std::int32_t& v);

}  // namespace graficos
