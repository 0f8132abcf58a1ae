// The helper thread: the residuals and the two ordered sums of each sweep, a
// row behind the sweeping thread, in the caller's rounding mode with the traps
// masked (a fault is reported with the norms and met again by the caller).
#include "solvers/threads_helper.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <system_error>

#if defined(__x86_64__) || defined(__i386__)
#define CALOR2D_X86 1
#include <xmmintrin.h>
#endif

#include "runtime/platform/platform.h"
#include "solvers/lanes.h"

#define CALOR2D_INLINE inline __attribute__((always_inline))

namespace solvers::pipeline {

namespace {

using Index = std::ptrdiff_t;
using fast::Path;

// ---------------------------------------------------------------------------
// Floating-point mode of the helper

#ifdef CALOR2D_X86
// MXCSR: flags in bits 0-5, masks in bits 7-12; invalid, divide-by-zero, overflow.
constexpr unsigned csr_flags = 0x3Fu, csr_masks = 0x1F80u, csr_faults = 0x0Du;
void enter_helper_mode(FpMode m) { _mm_setcsr((m | csr_masks) & ~csr_flags); }
bool take_faults() {
  const unsigned csr = _mm_getcsr();
  _mm_setcsr(csr & ~csr_flags);
  return (csr & csr_faults) != 0;
}
#else
void enter_helper_mode(FpMode m) {
  std::fenv_t env;
  std::feholdexcept(&env);
  std::fesetround(m);
}
bool take_faults() {
  const bool raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW) != 0;
  std::feclearexcept(FE_ALL_EXCEPT);
  return raised;
}
#endif

CALOR2D_INLINE void cpu_relax() {
#ifdef CALOR2D_X86
  __builtin_ia32_pause();
#endif
}

template <class V>
V wait_until(const std::atomic<V>& a, V target, V stop, long spin_limit) {
  for (long spins = 0;; ++spins) {
    const V v = a.load(std::memory_order_acquire);
    if (v >= target || v == stop) return v;
    pause(spins, spin_limit);
  }
}

// ---------------------------------------------------------------------------
// The helper's sums

template <int L>
struct Sums {
  double l1 = 0.0, l2 = 0.0, linf = 0.0;
  lanes::Vec<L> vinf = {};  // lane maxima, merged into linf at the end
};

// Residuals of `count` consecutive nodes of one row from node k, added in order.
// The residuals of a vector of nodes are independent of the sums, so they are
// worked out well ahead of the two chains of additions.
template <int L>
CALOR2D_INLINE void add_nodes(const Job& job, Sums<L>& s, Index k, Index count) {
  using Vec = lanes::Vec<L>;
  const double* const T = job.T;
  const Index Nx = job.Nx;
  const double aP = job.aP, aE = job.aE, aN = job.aN;
  double l1 = s.l1, l2 = s.l2;
  Index m = 0;
  for (; m + L <= count; m += L) {
    Vec r, ar;
    lanes::residuals<L>(T + k + m, Nx, aP, aE, aN, r);
    lanes::magnitude<L>(r, ar);
    const Vec sq = r * r;
    s.vinf = ar > s.vinf ? ar : s.vinf;
#pragma GCC unroll 8
    for (int l = 0; l < L; ++l) {
      l1 = l1 + ar[l];
      l2 = l2 + sq[l];
    }
  }
  for (; m < count; ++m) {
    const double r = lanes::residual(T, Nx, aP, aE, aN, k + m);
    const double ar = std::fabs(r);
    l1 = l1 + ar;
    l2 = l2 + r * r;
    if (ar > s.linf) s.linf = ar;
  }
  s.l1 = l1;
  s.l2 = l2;
}

// The helper's life: the norms of sweep 1, 2, ... until told to quit.
template <int L>
CALOR2D_INLINE void follow(Job& job) {
  enter_helper_mode(job.mode);
  const Index n = job.Nx - 2;
  const std::int64_t all = static_cast<std::int64_t>(n) * (job.Ny - 2);
  const long limit = spin_limit(job.Nx);
  // Two rows behind the final nodes: the helper's reads, and the lines its
  // prefetcher takes ahead of them, stay off the rows the sweep still writes,
  // whose every store would otherwise first have to take the line back.
  const std::int64_t slack = 2 * static_cast<std::int64_t>(n);
  for (int k = job.first;; ++k) {
    const std::int64_t base = (k - job.first) * all;
    Sums<L> s;
    std::int64_t at = 0;  // nodes of this sweep added
    Index row = 0, col = 0;
    while (at < all) {
      const std::int64_t target = std::min(base + at + 1 + slack, base + all);
      const std::int64_t front = wait_until<std::int64_t>(job.progress.front, target, quit, limit);
      if (front == quit) return;
      const std::int64_t ready = front - base >= all ? all : front - base - slack;
      while (at < ready) {
        const Index count = std::min<Index>(n - col, static_cast<Index>(ready - at));
        add_nodes<L>(job, s, (col + 2) + (row + 1) * static_cast<Index>(job.Nx), count);
        at += count;
        // Those nodes' values are read: the next sweep may write them.
        job.norms.summed.store(base + at, std::memory_order_release);
        col += count;
        if (col == n) {
          col = 0;
          ++row;
        }
      }
    }
    double m = s.linf;
    double lane[L];
    std::memcpy(lane, &s.vinf, sizeof lane);
    for (int l = 0; l < L; ++l)
      if (lane[l] > m) m = lane[l];
    job.norms.l1 = s.l1;
    job.norms.l2 = s.l2;
    job.norms.linf = m;
    job.norms.fault = take_faults();
    job.norms.done.store(k, std::memory_order_release);
  }
}

void follow_portable(Job& job) { follow<2>(job); }
#ifdef CALOR2D_X86
__attribute__((target("avx2"))) void follow_avx2(Job& job) { follow<4>(job); }
__attribute__((target("avx512f"))) void follow_avx512(Job& job) { follow<8>(job); }
#endif

void helper_main(Job* job) {
  // A new thread often starts on its parent's processor and stays there a while
  // even with another one idle; sharing it with the sweep would make every
  // hand-over slow.
  if (job->sweeper_cpu >= 0 && rt::plat::current_processor() == job->sweeper_cpu)
    rt::plat::step_off_processor(job->sweeper_cpu);
  switch (job->path) {
#ifdef CALOR2D_X86
    case Path::avx512:
      follow_avx512(*job);
      return;
    case Path::avx2:
      follow_avx2(*job);
      return;
#endif
    default:
      follow_portable(*job);
      return;
  }
}

}  // namespace

#ifdef CALOR2D_X86
FpMode caller_mode() { return _mm_getcsr(); }
#else
FpMode caller_mode() { return std::fegetround(); }
#endif

void pause(long spins, long spin_limit) {
  if (spins < spin_limit) {
    cpu_relax();
  } else {
    std::this_thread::yield();
  }
}

bool Helper::start(int first) {
  job_.first = first;
  job_.sweeper_cpu = rt::plat::current_processor();
  job_.progress.front.store(0, std::memory_order_relaxed);
  job_.norms.done.store(first - 1, std::memory_order_relaxed);
  job_.norms.summed.store(0, std::memory_order_relaxed);
  job_.norms.fault = false;
  try {
    thread_ = std::thread(helper_main, &job_);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void Helper::stop() {
  if (!running()) return;
  job_.progress.front.store(quit, std::memory_order_release);
  thread_.join();
}

#ifdef CALOR2D_X86
void HeldTraps::hold() {
  const unsigned csr = _mm_getcsr();
  std::memcpy(saved_, &csr, sizeof csr);
  _mm_setcsr((csr | csr_masks) & ~csr_faults);
  held_ = true;
}

bool HeldTraps::release() {
  if (!held_) return false;
  held_ = false;
  unsigned saved;
  std::memcpy(&saved, saved_, sizeof saved);
  const unsigned csr = _mm_getcsr();
  _mm_setcsr(saved | (csr & csr_flags & ~csr_faults));
  return (csr & csr_faults) != 0;
}
#else
static_assert(sizeof(std::fenv_t) <= HeldTraps::room, "room for the environment");

void HeldTraps::hold() {
  std::feholdexcept(reinterpret_cast<std::fenv_t*>(saved_));
  held_ = true;
}

bool HeldTraps::release() {
  if (!held_) return false;
  held_ = false;
  const int faults = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
  const bool raised = std::fetestexcept(faults) != 0;
  std::feclearexcept(faults);
  std::feupdateenv(reinterpret_cast<std::fenv_t*>(saved_));
  return raised;
}
#endif

}  // namespace solvers::pipeline
