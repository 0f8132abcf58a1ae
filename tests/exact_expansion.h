// The decimal form of a double from the C library's complete expansion: every
// double's exact decimal expansion has at most 767 significant digits, so
// "%.780e" prints it whole. The first 18 digits, half up on the 18th alone, give
// the 17-digit form the report's editing starts from. It shares nothing with the
// run-time's own conversions, which makes it the yardstick of the fuzzer and the
// slow baseline of the report benchmark.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/number_edit.h"

namespace exact {

// `digits` (at most 18, the first not 0) rounded half up to n >= 0 of them. The
// rounding is integer division, so the yardstick shares no carry code with the
// run-time's digit strings; a carry out of the first digit raises p.
inline std::string round_half_up(const std::string& digits, int n, int& p) {
  int drop = static_cast<int>(digits.size()) - n;
  if (n < 0 || digits.size() > 18) std::abort();
  if (drop <= 0) return digits;
  std::uint64_t unit = 1;
  for (int i = 0; i < drop; ++i) unit *= 10;
  std::uint64_t v = std::stoull(digits), q = v / unit;
  if (v % unit >= unit / 2) ++q;
  if (n == 0) {
    if (q == 0) return "";
    ++p;
    return "1";
  }
  std::uint64_t top = 1;
  for (int i = 0; i < n; ++i) top *= 10;
  if (q == top) {
    q /= 10;
    ++p;
  }
  std::string s = std::to_string(q);
  return std::string(static_cast<std::size_t>(n) - s.size(), '0') + s;
}

// Digits D1..D17 of a finite a > 0 after the half-up rounding on D18; p such that
// a = 0.D1D2... x 10^p.
inline std::string seventeen(double a, int& p) {
  static char buf[1200];
  std::snprintf(buf, sizeof buf, "%.780e", a);
  std::string digits;
  for (const char* c = buf; *c && *c != 'e'; ++c)
    if (*c >= '0' && *c <= '9') digits.push_back(*c);
  p = std::atoi(std::strchr(buf, 'e') + 1) + 1;
  digits.resize(18, '0');
  return round_half_up(digits, 17, p);
}

// The same as rt::Decimal, for finite and special values alike.
inline rt::Decimal decimal_form(double x) {
  rt::Decimal d;
  if (!std::isfinite(x) || x == 0) return rt::decimal_form_reference(x);  // zero and specials carry no digits
  int p;
  std::string s = seventeen(std::fabs(x), p);
  while (s.size() > 1 && s.back() == '0') s.pop_back();
  d.negative = x < 0;
  d.p = p;
  d.count = static_cast<int>(s.size());
  std::memcpy(d.digits, s.data(), s.size());
  return d;
}

}  // namespace exact
