// Any 64-bit pattern as a double through E25.15 (scale 1) and F15.3: the field has
// exactly its width and its digits agree with an independent exact conversion
// (the C library's full expansion) under the two-stage rounding, and with the
// program's own big-integer conversion.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../tests/exact_expansion.h"
#include "runtime/number_edit.h"

namespace {

std::string right(const std::string& s, std::size_t w) {
  return s.size() > w ? std::string(w, '*') : std::string(w - s.size(), ' ') + s;
}

std::string expected_e(double x) {
  if (x == 0) return right("0.000000000000000E+00", 25);
  int p;
  std::string d = exact::round_half_up(exact::seventeen(std::fabs(x), p), 16, p);
  d.resize(16, '0');
  int e = p - 1;
  char exp[8];
  if (e >= -99 && e <= 99)
    std::snprintf(exp, sizeof exp, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
  else
    std::snprintf(exp, sizeof exp, "%c%03d", e < 0 ? '-' : '+', std::abs(e));
  return right((x < 0 ? "-" : "") + d.substr(0, 1) + "." + d.substr(1) + exp, 25);
}

std::string expected_f(double x) {
  if (x == 0) return right(".000", 15);
  int p;
  std::string d = exact::seventeen(std::fabs(x), p);
  if (p < -3) return right(".000", 15);
  int n = std::min(p + 3, 16);
  d = exact::round_half_up(d, n, p);  // second rounding
  bool zero = d.find_first_not_of('0') == std::string::npos;
  std::string s = (x < 0 && !zero) ? "-" : "";
  if (p > 16) return std::string(15, '*');  // 17 or more integer digits never fit
  std::string all = d + std::string(40, '0');
  if (p > 0) {
    s += all.substr(0, static_cast<std::size_t>(p)) + "." + all.substr(static_cast<std::size_t>(p), 3);
  } else {
    s += "." + (std::string(static_cast<std::size_t>(-p), '0') + all).substr(0, 3);
  }
  return right(s, 15);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  double x;
  std::memcpy(&x, data, 8);
  char e[26] = {}, f[16] = {};
  rt::edit_e(e, 25, 15, 1, x);
  rt::edit_f(f, 15, 3, 0, x);
  if (std::strlen(e) != 25 || std::strlen(f) != 15) std::abort();
  if (!std::isfinite(x)) {
    if (e[0] != '1' || e[1] != '#' || f[0] != '1' || f[1] != '#') std::abort();
    return 0;
  }
  std::string want_e = expected_e(x), want_f = expected_f(x);
  if (want_e != e || want_f != f) {
    std::fprintf(stderr, "%a: E got [%s] want [%s]; F got [%s] want [%s]\n", x, e, want_e.c_str(), f, want_f.c_str());
    std::abort();
  }
  // The same fields from the big-integer conversion, which the fast digits
  // and the E25.15 edit straight from them must match bit for bit.
  char big_e[26] = {}, big_f[16] = {};
  rt::set_decimal_source(rt::decimal_form_reference);
  rt::edit_e(big_e, 25, 15, 1, x);
  rt::edit_f(big_f, 15, 3, 0, x);
  rt::set_decimal_source(nullptr);
  if (std::strcmp(big_e, e) != 0 || std::strcmp(big_f, f) != 0) {
    std::fprintf(stderr, "%a: E [%s] from the big integers [%s]; F [%s] [%s]\n", x, e, big_e, f, big_f);
    std::abort();
  }
  return 0;
}
