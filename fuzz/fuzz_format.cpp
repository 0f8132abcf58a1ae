// The format walker on arbitrary format texts and item lists: a malformed format
// or a mismatched item ends in a run-time error, never in a crash or a hang.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/errors.h"
#include "runtime/format_output.h"

namespace {

struct Stopped {
  int number;
};

[[noreturn]] void stop(char, int number, std::string_view) { throw Stopped{number}; }

// An upper bound on the bytes one pass over the format writes, items aside:
// every literal byte, number (a tab's column, a field's width) and record end,
// times the repeat counts of the groups around it. Data edits are at most 24
// items of at most a million bytes each, and reversion repeats a pass at most
// once per item, so a pass under a MiB keeps a statement under 64 MiB.
double pass_bound(const std::string& f) {
  std::vector<double> times{1.0};
  double total = 0, last = 0;
  for (std::size_t i = 0; i < f.size(); ++i) {
    const char c = f[i];
    if (c == ' ') continue;  // a count may stand apart from its "(" or "/"
    if (c >= '0' && c <= '9') {
      double n = 0;
      for (; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i) n = std::min(n * 10 + (f[i] - '0'), 1e12);
      --i;
      total += times.back() * n;
      last = n;
      continue;
    }
    if (c == '\'') {
      std::size_t j = i + 1;
      while (j < f.size() && f[j] != '\'') ++j;
      total += times.back() * static_cast<double>(j - i);
      i = j;
    } else if (c == '(') {
      times.push_back(times.back() * std::max(1.0, last));
    } else if (c == ')') {
      if (times.size() > 1) times.pop_back();
    } else {
      total += times.back() * (c == '/' ? 2 * std::max(1.0, last) : 1.0);
    }
    last = 0;
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::string sink;
  static const bool ready = [] {
    rt::set_error_hook(stop);
    rt::set_record_sink(&sink);
    return true;
  }();
  (void)ready;

  // Layout: format text up to the first NUL, then one byte per item: its low
  // bit picks real or integer, the rest feeds the value.
  const char* text = reinterpret_cast<const char*>(data);
  std::size_t flen = strnlen(text, size);
  std::string format(text, flen);
  // Nested repeat counts multiply: (43811(583583/)) is 2.6e10 records, and
  // (7(5(4(2(4(2(... reaches it with small counts. Such a format is slow, not
  // wrong, so only formats whose one pass writes at most a MiB run here.
  if (format.size() > 600 || pass_bound(format) > (1u << 20)) return 0;
  sink.clear();
  try {
    rt::write_begin(1, format.c_str());
    for (std::size_t i = flen + 1; i < size && i < flen + 1 + 24; ++i) {
      if (data[i] & 1) {
        rt::write_int4(static_cast<std::int32_t>(data[i]) * 1000003 - 64000000);
      } else {
        rt::write_real8((data[i] - 128) * 1.25e-3);
      }
    }
    rt::write_end();
  } catch (const Stopped& s) {
    if (s.number != 6980 && s.number != 6981 && s.number != 6982) {
      std::fprintf(stderr, "unexpected run-time error %d\n", s.number);
      std::abort();
    }
  }
  if (sink.size() > (1u << 26)) std::abort();
  return 0;
}
