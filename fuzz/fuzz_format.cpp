// The format walker on arbitrary format texts and item lists: a malformed format
// or a mismatched item ends in a run-time error, never in a crash or a hang.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/errors.h"
#include "runtime/format_output.h"

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
  // Nested repeat counts multiply: (43811(583583/)) is 2.6e10 records. Such a
  // format is slow, not wrong, so counts before a group or slash stay small here.
  if (format.size() > 600) return 0;
  for (std::size_t i = 0, run = 0, value = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c >= '0' && c <= '9') {
      ++run;
      value = run > 4 ? 99999 : value * 10 + static_cast<std::size_t>(c - '0');
    } else {
      if ((c == '(' || c == '/') && value > 20) return 0;
      run = value = 0;
    }
  }
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
