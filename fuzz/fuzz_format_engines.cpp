// The compiled formats against the walker on arbitrary format texts and item
// lists: the same records byte for byte and the same run-time error, if any.
// The format goes through one buffer whose bytes change from input to input,
// so a compiled form found again by its address must be checked against the text.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "format_bound.h"
#include "runtime/errors.h"
#include "runtime/format_output.h"

namespace {

struct Stopped {
  int number;
};

[[noreturn]] void stop(char, int number, std::string_view) { throw Stopped{number}; }

char text[601];

// The records written and the error number (0 without one).
int statement(rt::FormatEngine e, const std::uint8_t* items, std::size_t count, std::string& sink) {
  rt::set_format_engine(e);
  sink.clear();
  try {
    rt::write_begin(1, text);
    for (std::size_t i = 0; i < count; ++i) {
      if (items[i] & 1) {
        rt::write_int4(static_cast<std::int32_t>(items[i]) * 1000003 - 64000000);
      } else {
        rt::write_real8((items[i] - 128) * 1.25e-3);
      }
    }
    rt::write_end();
  } catch (const Stopped& s) {
    return s.number;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::string walked, compiled;
  static const bool ready = [] {
    rt::set_error_hook(stop);
    return true;
  }();
  (void)ready;

  // Layout as for the walker's fuzzer: format text up to the first NUL, then one
  // byte per item, its low bit picking real or integer.
  const char* in = reinterpret_cast<const char*>(data);
  const std::size_t flen = strnlen(in, size);
  const std::string format(in, flen);
  if (!fuzzing::quick_enough(format)) return 0;
  std::memcpy(text, format.c_str(), flen + 1);
  const std::uint8_t* items = data + std::min(size, flen + 1);
  const std::size_t count = std::min<std::size_t>(size - std::min(size, flen + 1), 24);

  rt::set_record_sink(&walked);
  const int walked_error = statement(rt::FormatEngine::walking, items, count, walked);
  rt::set_record_sink(&compiled);
  const int compiled_error = statement(rt::FormatEngine::compiled, items, count, compiled);
  rt::set_record_sink(nullptr);
  if (walked_error != compiled_error || walked != compiled) {
    std::fprintf(stderr, "format %s: walker error %d, %zu bytes; compiled error %d, %zu bytes\n", text, walked_error,
                 walked.size(), compiled_error, compiled.size());
    std::abort();
  }
  return 0;
}
