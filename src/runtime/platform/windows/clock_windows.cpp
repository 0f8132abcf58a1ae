#include <windows.h>

#include "runtime/platform/platform.h"

namespace rt::plat {

std::uint64_t clock_ticks() {
  // The performance counter is monotonic, unlike the system time, so moving the
  // wall clock never makes a processing time negative.
  static const std::uint64_t frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<std::uint64_t>(f.QuadPart);
  }();
  LARGE_INTEGER c;
  ::QueryPerformanceCounter(&c);
  std::uint64_t count = static_cast<std::uint64_t>(c.QuadPart);
  std::uint64_t ms = count / frequency * 1000u + count % frequency * 1000u / frequency;
  // Whole milliseconds as 100-ns ticks, shifted so a reading is never 0 (0 marks
  // "no zero point yet").
  return (ms + 1000u) * 10000u;
}

}  // namespace rt::plat
