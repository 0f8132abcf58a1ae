// Decimal text to double that no locale can change: the value the C library's
// strtod gives in the "C" locale. Correctly rounded; beyond the largest double
// it is an infinity, below the smallest denormal a zero, both with the sign.
#pragma once

#include <charconv>
#include <cstddef>
#include <limits>
#include <string_view>
#include <system_error>

#include "runtime/invariant.h"

namespace rt {

namespace detail {

// Whether the value written in `t` is at least 1 in magnitude: where its first
// non-zero digit stands against the point, moved by the exponent.
inline bool at_least_one(std::string_view t) {
  std::size_t i = !t.empty() && t[0] == '-' ? 1 : 0;
  long long order = 0;  // the significand lies in [10^(order-1), 10^order)
  bool point = false, started = false;
  for (; i < t.size() && t[i] != 'e' && t[i] != 'E'; ++i) {
    if (t[i] == '.') {
      point = true;
    } else if (started || t[i] != '0') {
      started = true;
      if (!point) ++order;
    } else if (point) {
      --order;
    }
  }
  if (i + 1 < t.size()) {
    const bool negative = t[i + 1] == '-';
    const std::size_t from = i + 1 + (negative || t[i + 1] == '+' ? 1 : 0);
    long long e = 0;
    const auto r = std::from_chars(t.data() + from, t.data() + t.size(), e);
    if (r.ec == std::errc::result_out_of_range) e = std::numeric_limits<long long>::max() / 2;
    order += negative ? -e : e;
  }
  return order > 0;
}

}  // namespace detail

// `text` is an optional '-', digits with an optional point, then an optional
// exponent ('e' or 'E', optional sign, digits), and nothing else.
inline double decimal_value(std::string_view text) {
  double v = 0.0;
  const char* const end = text.data() + text.size();
  const auto r = std::from_chars(text.data(), end, v);
  CALOR2D_ASSERT(r.ptr == end && (r.ec == std::errc() || r.ec == std::errc::result_out_of_range));
  if (r.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone when it is out of range either way.
    v = detail::at_least_one(text) ? std::numeric_limits<double>::infinity() : 0.0;
    if (text[0] == '-') v = -v;
  }
  return v;
}

}  // namespace rt
