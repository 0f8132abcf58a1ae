#include "runtime/clock.h"

#include <atomic>
#include <cstdint>
#include <mutex>

#include "runtime/platform/platform.h"

namespace rt {

namespace {

std::atomic<std::uint64_t> zero_point{0};
std::mutex zero_lock;  // constant-initialised: ready before the main program runs

}  // namespace

double elapsed_seconds(unsigned long long t0, unsigned long long t) {
  auto hi = [](unsigned long long v) { return static_cast<std::int32_t>(v >> 32); };
  auto lo = [](unsigned long long v) { return static_cast<std::uint32_t>(v); };
  std::int32_t h = hi(t) - hi(t0);
  std::int32_t l = static_cast<std::int32_t>(lo(t) / 2u) - static_cast<std::int32_t>(lo(t0) / 2u);
  if (l < 0) {
    h -= 1;
    l += 2147483647;  // + 2^31, written so no step leaves the 32-bit range
    l += 1;
  }
  return (h * 2147483648.0 + l) * 2.0e-7;
}

double timef() {
  std::uint64_t t = plat::clock_ticks();
  std::uint64_t t0 = zero_point.load(std::memory_order_acquire);
  if (t0 == 0) {
    std::lock_guard<std::mutex> g(zero_lock);
    t0 = zero_point.load(std::memory_order_relaxed);
    if (t0 == 0) {
      zero_point.store(t, std::memory_order_release);
      return 0.0;
    }
  }
  return elapsed_seconds(t0, t);
}

}  // namespace rt
