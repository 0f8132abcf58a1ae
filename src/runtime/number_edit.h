// Number editing for formatted output: the decimal form of a double and the
// E, F and I edit descriptors.
//
// Decimal form (17 significant digits, two-stage rounding). |x| is written
// exactly as 0.D1D2D3... x 10^p with D1 != 0 (every double has a finite decimal
// expansion); D1..D18 are taken (zeros past the expansion's end), and one unit is
// added in the 17th place when D18 >= 5. No digit after D18 takes part, so this is
// neither round-to-nearest nor round-half-even:
//
//   1/7      0.142857142857142849212...   -> 14285714285714285, p = 0
//   1e23     99999999999999991611392      -> 99999999999999992, p = 23
//   0.1      0.100000000000000005551...   -> 1, p = 0 (trailing zeros removed)
//
// The editors then round the 17 digits again, half up on the first dropped digit,
// to the digits the descriptor shows (at most 16). So 1/7 in E25.15 ends in 429
// where a correctly rounded 16-digit conversion gives 428.
#pragma once

#include <cstdint>

namespace rt {

// Infinities and NaNs, told apart by bit pattern.
enum class Special : std::uint8_t {
  none,
  inf,   // exponent all ones, fraction zero (either sign): "1#INF"
  ind,   // sign set, fraction only its top bit (what an invalid operation yields): "1#IND"
  snan,  // nonzero fraction with its top bit clear: "1#SNAN"
  qnan,  // any other NaN: "1#QNAN"
};

struct Decimal {
  Special special = Special::none;
  bool negative = false;    // never set for zero or a special
  int p = 0;                // the value is 0.D1D2... x 10^p; 0 for zero
  int count = 1;            // significant digits in `digits`, 1..17, no trailing zeros
  char digits[17] = {'0'};  // ASCII '0'..'9'; "0" for zero
};

// The decimal form of x. Fast 64x128-bit arithmetic; the rare values it cannot
// settle go to decimal_form_reference.
Decimal decimal_form(double x);

// The fast path alone: false when the truncated 18 digits cannot be settled from
// 128-bit powers of five (the value lies too close to a digit boundary), true
// with `out` filled otherwise. Exposed so tests can check it against the reference.
bool decimal_form_fast(double x, Decimal& out);

// Plain exact big-integer expansion of x, digit by digit. Slow (microseconds per
// value); the fallback of decimal_form and the yardstick of its tests.
Decimal decimal_form_reference(double x);

// Where edit_e and edit_f take the decimal form from: decimal_form, unless a
// benchmark substitutes another exact conversion to compare speed on whole
// reports. nullptr restores decimal_form.
using DecimalSource = Decimal (*)(double);
void set_decimal_source(DecimalSource source);

// The editors write exactly w characters at out[0..w): the text right-justified
// in the field, or w asterisks when the text is longer than w. A special (E, F)
// is its text followed by full stops up to w, cut to w, never asterisks.
//
// Ew.d under scale factor k: k >= 1 gives k digits before the point and d - k + 1
// after it, exponent p - k; k = 0 gives ".", d digits and exponent p; -d < k < 0
// gives ".", -k zeros, d + k digits and exponent p - k. Other k: asterisks.
// Exponent field "E+dd" / "E-dd" within -99..99, sign and three digits (no letter)
// within -999..999, asterisks beyond. Zero has exponent 0 and no sign.
//   1P,E25.15:  1.0 -> "    1.000000000000000E+00"   1e100 -> "    1.000000000000000+100"
void edit_e(char* out, int w, int d, int k, double x);

// Fw.d under scale factor k (the value is taken times 10^k). No zero is written
// before the point; a value that shows as zero has no sign.
//   F15.3:  0.5 -> ".500"   -0.0004 -> ".000"   9.9996 -> "10.000"   1e11 -> 15 '*'
void edit_f(char* out, int w, int d, int k, double x);

// Iw: minus sign when negative, no leading zeros.  I10: -2147483648 -> 10 '*'.
void edit_i(char* out, int w, std::int32_t v);

namespace detail {

// a * b as 128 bits from 32-bit halves: the low 64 bits returned, the high 64 in
// `hi`. The 64x128-bit products use it where the compiler has no 128-bit integer
// (32-bit targets); it is built everywhere so that every build can test it.
std::uint64_t mul64_portable(std::uint64_t a, std::uint64_t b, std::uint64_t& hi);

}  // namespace detail

}  // namespace rt
