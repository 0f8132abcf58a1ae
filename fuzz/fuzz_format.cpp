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
#include "format_bound.h"

namespace {

struct Stopped {
  int number;
};

[[noreturn]] void stop(char, int number, std::string_view) { throw Stopped{number}; }

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
  if (!fuzzing::quick_enough(format)) return 0;
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
