// Two-thread Gauss-Seidel: the sweep and the ordered norm sums are two long
// dependent chains that barely overlap in one core, so each gets its own.
//
// Why the bits cannot change:
//  - The calling thread sweeps exactly as the one-thread fast solver does and
//    publishes, with release order, how many nodes (in node order) have their
//    final residual; it writes none of the values those residuals read again in
//    that sweep. The helper acquires that count and takes the residuals and the
//    sums one node at a time in node order, as the reference does.
//  - Sweep k+1 starts only after the helper has handed over the norms of sweep k
//    (release/acquire again) and the test of sweep k has passed: no value the
//    helper reads is ever overwritten under it, and when the test stops the
//    field is the one after sweep k. The cost is the helper's lag at the end of
//    each sweep: the last two rows and a portion of the count.
//  - A solve may move between two threads and one between sweeps (see
//    Schedule); a sweep on one thread is the one-thread fast solver's, and a new
//    helper starts with the next sweep and a count from zero.
//  - Traps: the sweep and the stopping test run in the calling thread with its
//    traps. The helper computes in the caller's rounding mode with every trap
//    masked; if a sweep's sums raised invalid, divide-by-zero or overflow, the
//    caller computes that sweep's norms again itself, in the reference's order,
//    and meets the trap (or, unarmed, the same values) where the reference does.
//    Threads do not inherit the floating-point environment on Windows, so it is
//    set explicitly.
#include "solvers_pipeline.h"

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#define CALOR2D_X86 1
#include <xmmintrin.h>
#endif

#include "runtime/platform/platform.h"
#include "solvers.h"
#include "solvers_lanes.h"

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
using FpMode = unsigned;
FpMode caller_mode() { return _mm_getcsr(); }
void enter_helper_mode(FpMode m) { _mm_setcsr((m | csr_masks) & ~csr_flags); }
bool take_faults() {
  const unsigned csr = _mm_getcsr();
  _mm_setcsr(csr & ~csr_flags);
  return (csr & csr_faults) != 0;
}
#else
using FpMode = int;
FpMode caller_mode() { return std::fegetround(); }
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

// ---------------------------------------------------------------------------
// Hand-over between the threads

// Written by the sweeping thread only; `quit` tells the helper to end.
struct alignas(64) Progress {
  std::atomic<std::int64_t> front{0};  // see fast::sweep_announcing
};
constexpr std::int64_t quit = -1;

// Written by the helper only: the norms of sweep `done`.
struct alignas(64) Norms {
  std::atomic<int> done{0};
  double l1 = 0, l2 = 0, linf = 0;
  bool fault = false;  // the sums raised a trapping exception: values not to be used
};

struct Job {
  Path path;
  double aP, aE, aN;
  int Nx, Ny;
  const double* T;
  FpMode mode;
  int first;        // the first sweep the helper sums; the count starts from it
  int sweeper_cpu;  // where the sweeping thread ran when it started the helper
  Progress progress;
  Norms norms;
};

CALOR2D_INLINE void cpu_relax() {
#ifdef CALOR2D_X86
  __builtin_ia32_pause();
#endif
}

// Spins a while (a sweep of a small grid takes microseconds), then also gives
// the processor away, for a machine busy with other work. Tells whether it had to.
template <class V>
V wait_until(const std::atomic<V>& a, V target, V stop, long spin_limit, bool* yielded = nullptr) {
  for (long spins = 0;; ++spins) {
    const V v = a.load(std::memory_order_acquire);
    if (v >= target || v == stop) return v;
    if (spins < spin_limit) {
      cpu_relax();
    } else {
      if (yielded) *yielded = true;
      std::this_thread::yield();
    }
  }
}

// Several times the helper's usual lag behind a finished sweep (a strip of rows).
long spin_limit(int Nx) { return 4096 + 16L * Nx; }

// Waits that long on this many sweeps in a row mean the helper is not getting a
// processor of its own: a new thread often starts on its parent's processor
// until the scheduler moves it, and a busy machine may keep it there. The solve
// then goes on alone for a long window before it tries two threads again. A late
// hand-over now and then (a moment's preemption on a shared machine) is no
// reason to give up the second processor.
constexpr int slow_hand_overs = 4;

// ---------------------------------------------------------------------------
// The helper's sums

using lanes::Lanes;

template <int L>
struct Sums {
  using Vec = typename Lanes<L>::real;
  double l1 = 0.0, l2 = 0.0, linf = 0.0;
  Vec vinf = {};  // lane maxima, merged into linf at the end
};

// Residuals of `count` consecutive nodes of one row from node k, added in order.
// The residuals of a vector of nodes are independent of the sums, so they are
// worked out well ahead of the two chains of additions.
template <int L>
CALOR2D_INLINE void add_nodes(const Job& job, Sums<L>& s, Index k, Index count) {
  using Vec = typename Lanes<L>::real;
  using Bits = typename Lanes<L>::bits;
  const double* const T = job.T;
  const Index Nx = job.Nx;
  const double aP = job.aP, aE = job.aE, aN = job.aN;
  Bits magnitude;
  for (int l = 0; l < L; ++l) magnitude[l] = 0x7fffffffffffffffULL;
  double l1 = s.l1, l2 = s.l2;
  Index m = 0;
  for (; m + L <= count; m += L) {
    const double* c = T + k + m;
    Vec tn, ts, te, tw, tc;
    std::memcpy(&tn, c + Nx, sizeof tn);
    std::memcpy(&ts, c - Nx, sizeof ts);
    std::memcpy(&te, c + 1, sizeof te);
    std::memcpy(&tw, c - 1, sizeof tw);
    std::memcpy(&tc, c, sizeof tc);
    const Vec a = tn + ts;
    const Vec b = a * aN;
    const Vec cc = te + tw;
    const Vec d = cc * aE;
    const Vec e = b + d;
    const Vec f = tc * aP;
    const Vec r = e - f;
    const Vec ar = reinterpret_cast<Vec>(reinterpret_cast<Bits>(r) & magnitude);
    const Vec sq = r * r;
    s.vinf = ar > s.vinf ? ar : s.vinf;
#pragma GCC unroll 8
    for (int l = 0; l < L; ++l) {
      l1 = l1 + ar[l];
      l2 = l2 + sq[l];
    }
  }
  for (; m < count; ++m) {
    const Index n = k + m;
    const double a = T[n + Nx] + T[n - Nx];
    const double b = a * aN;
    const double c = T[n + 1] + T[n - 1];
    const double d = c * aE;
    const double r = (b + d) - T[n] * aP;
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

bool second_cpu_available() { return rt::plat::usable_processors() >= 2; }

namespace {

// The helper thread and its hand-over state, started and stopped as the solve
// moves between two threads and one.
class Helper {
 public:
  Helper(Path path, double aP, double aE, double aN, int Nx, int Ny, const double* T)
      : job_{path, aP, aE, aN, Nx, Ny, T, caller_mode(), 1, -1, {}, {}} {}
  ~Helper() { stop(); }
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;

  bool running() const { return thread_.joinable(); }
  Job& job() { return job_; }

  // Follows sweeps from `first` on; false when no thread can be started.
  bool start(int first) {
    job_.first = first;
    job_.sweeper_cpu = rt::plat::current_processor();
    job_.progress.front.store(0, std::memory_order_relaxed);
    job_.norms.done.store(first - 1, std::memory_order_relaxed);
    job_.norms.fault = false;
    try {
      thread_ = std::thread(helper_main, &job_);
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }

  void stop() {
    if (!running()) return;
    job_.progress.front.store(quit, std::memory_order_release);
    thread_.join();
  }

 private:
  Job job_;
  std::thread thread_;
};

using Clock = std::chrono::steady_clock;

}  // namespace

void gauss_seidel_two_threads(Path path, double aP, double aE, double aN, int itmax, double tol, int Nx, int Ny,
                              double* L1, double* L2, double* Linf, int& it, double* T, const Schedule& plan) {
  if (itmax < 1 || Nx <= 2 || Ny <= 2) {
    // Nothing to sum (or to sweep): nothing for a helper to do.
    fast::gauss_seidel_on(path, aP, aE, aN, itmax, tol, Nx, Ny, L1, L2, Linf, it, T);
    return;
  }
  Helper helper(path, aP, aE, aN, Nx, Ny, T);
  if (!helper.start(1)) {
    fast::gauss_seidel_on(path, aP, aE, aN, itmax, tol, Nx, Ny, L1, L2, Linf, it, T);
    return;
  }

  // Two threads are faster only while both have a processor of their own. On a
  // shared or virtual machine that can change during a solve, so the solve times
  // itself: a long window of sweeps in the way that has been faster, then a short
  // probe of the other way, and the probe's way takes over when its mean time per
  // sweep was lower. The sweep right after a switch (a thread started or joined)
  // is not timed. A probe that loses makes the next long window twice as long.
  const std::int64_t all = static_cast<std::int64_t>(Nx - 2) * (Ny - 2);
  const long limit = spin_limit(Nx);
  constexpr double unmeasured = 1e300;
  bool prefer_two = true;  // the way of the long windows
  bool busy = false;       // no thread can be started: one thread from now on
  bool probing = false;    // this window tries the other way
  bool warming = true;     // the window's first sweep, not timed
  int window_left = plan.window;
  int long_window = plan.window;
  int run_sweeps = 0;              // sweeps of this window timed so far
  double long_rate = unmeasured;   // seconds per sweep in the last long window
  Clock::time_point run_start = Clock::now();
  int slow = 0;
  const auto open_window = [&](int sweeps) {
    window_left = sweeps;
    run_sweeps = 0;
    warming = true;
  };
  it = itmax;
  for (int k = 1; k <= itmax; ++k) {
    if (helper.running()) {
      Job& job = helper.job();
      fast::sweep_announcing(path, aP, aE, aN, Nx, Ny, T, job.progress.front, (k - job.first) * all);
      bool yielded = false;
      wait_until(job.norms.done, k, k, limit, &yielded);
      if (job.norms.fault) {
        norm_L1(aP, aE, aN, Nx, Ny, T, L1[k]);
        norm_L2(aP, aE, aN, Nx, Ny, T, L2[k]);
        norm_Linf(aP, aE, aN, Nx, Ny, T, Linf[k]);
      } else {
        L1[k] = job.norms.l1;
        L2[k] = job.norms.l2;
        Linf[k] = job.norms.linf;
      }
      slow = yielded ? slow + 1 : 0;
      if (slow == slow_hand_overs) {
        // A long window alone, this sweep its untimed first.
        slow = 0;
        helper.stop();
        prefer_two = false;
        probing = false;
        long_window = plan.window;
        open_window(long_window + 1);
      }
    } else {
      fast::sweep_with_norms(path, aP, aE, aN, Nx, Ny, T, L1[k], L2[k], Linf[k]);
    }
    // The reference's test, in this thread: no test after sweep 1.
    if (k >= 2) {
      const double q = L1[k] / L1[0];
      if (!(q > tol)) {
        it = k;
        break;
      }
    }

    if (busy) continue;
    --window_left;
    if (warming) {
      warming = false;
      run_start = Clock::now();
    } else {
      ++run_sweeps;
    }
    if (window_left > 0) continue;
    const double rate = run_sweeps > 0
                            ? std::chrono::duration<double>(Clock::now() - run_start).count() / run_sweeps
                            : unmeasured;
    if (!probing) {
      long_rate = rate;
      probing = true;
      open_window(plan.probe + 1);
    } else {
      probing = false;
      if (rate < long_rate) {
        prefer_two = !prefer_two;
        long_window = plan.window;
      } else {
        long_window = std::min(2 * long_window, plan.longest);
      }
      open_window(long_window);
    }
    const bool two = probing ? !prefer_two : prefer_two;
    if (two && !helper.running()) {
      slow = 0;
      if (!helper.start(k + 1)) busy = true;
    } else if (!two && helper.running()) {
      helper.stop();
    }
  }
}

bool pays_off(int Nx, int Ny) {
  // Measured: from about 20 columns and 1000 interior nodes on, and more the
  // larger the grid; below, the hand-over per sweep costs more than it saves.
  return Nx >= 20 && static_cast<long long>(Nx - 2) * (Ny - 2) >= 1000;
}

}  // namespace solvers::pipeline

namespace solvers {

void gauss_seidel(double aP, double aE, double aN, int itmax, double tol, int Nx, int Ny, double* L1,
                  double* L2, double* Linf, int& it, double* T) {
  static const fast::Path path = fast::best_path();
  static const bool two_cpus = pipeline::second_cpu_available();
  if (two_cpus && pipeline::pays_off(Nx, Ny)) {
    pipeline::gauss_seidel_two_threads(path, aP, aE, aN, itmax, tol, Nx, Ny, L1, L2, Linf, it, T);
  } else {
    fast::gauss_seidel_on(path, aP, aE, aN, itmax, tol, Nx, Ny, L1, L2, Linf, it, T);
  }
}

}  // namespace solvers
