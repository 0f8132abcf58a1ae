// Shared by the format fuzzers: which formats are quick enough to run.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace fuzzing {

// An upper bound on the bytes one pass over the format writes, items aside:
// every literal byte, number (a tab's column, a field's width) and record end,
// times the repeat counts of the groups around it. Data edits are at most 24
// items of at most a million bytes each, and reversion repeats a pass at most
// once per item, so a pass under a MiB keeps a statement under 64 MiB.
inline double pass_bound(const std::string& f) {
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

// Nested repeat counts multiply: (43811(583583/)) is 2.6e10 records, and
// (7(5(4(2(4(2(... reaches it with small counts. Such a format is slow, not
// wrong, so only formats whose one pass writes at most a MiB run.
inline bool quick_enough(const std::string& format) { return format.size() <= 600 && pass_bound(format) <= (1u << 20); }

}  // namespace fuzzing
