#include <time.h>

#include "runtime/platform/platform.h"

namespace rt::plat {

std::uint64_t clock_ticks() {
  timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  // Whole milliseconds as 100-ns ticks, shifted so a reading is never 0 (0 marks
  // "no zero point yet").
  std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return (ms + 1000u) * 10000u;
}

}  // namespace rt::plat
