// Two-thread Gauss-Seidel: the sweep and the ordered norm sums are two long
// dependent chains that barely overlap in one core, so each gets its own.
//
// Why the bits cannot change:
//  - The calling thread sweeps exactly as the one-thread fast solver does and
//    publishes, with release order, how many nodes (in node order) have their
//    final residual; it writes none of the values those residuals read again in
//    that sweep. The helper acquires that count and takes the residuals and the
//    sums one node at a time in node order, as the reference does.
//  - Sweep k+1 may start before the helper has handed over the norms of sweep k
//    (the test that decides whether sweep k+1 is wanted), but it writes a strip
//    of rows only once the helper has read them for sweep k (release/acquire on
//    the helper's count), and keeps their values until the norms arrive. If the
//    test then stops the solve, the sweep stops and the kept rows go back: the
//    field is the one after sweep k. Larger grids, whose copy would cost more
//    memory than the plan allows, start sweep k+1 after the norms of sweep k.
//  - A solve may move between two threads and one between sweeps (see
//    Schedule); a sweep on one thread is the one-thread fast solver's, and a new
//    helper starts with the next sweep and a count from zero.
//  - Traps: the sweep and the stopping test run in the calling thread with its
//    traps. The helper computes in the caller's rounding mode with every trap
//    masked; if a sweep's sums raised invalid, divide-by-zero or overflow, the
//    caller computes that sweep's norms again itself, in the reference's order,
//    and meets the trap (or, unarmed, the same values) where the reference does.
//    A sweep started ahead of the test runs with the traps held; if it raised
//    one, it is put back and, when the test wants it, swept again with them.
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
#include <vector>

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

// Written by the helper only: the norms of sweep `done`, and how far it has got
// with the next one.
struct alignas(64) Norms {
  std::atomic<int> done{0};
  std::atomic<std::int64_t> summed{0};  // nodes added, counted like Progress::front
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
// the processor away, for a machine busy with other work.
template <class V>
V wait_until(const std::atomic<V>& a, V target, V stop, long spin_limit) {
  for (long spins = 0;; ++spins) {
    const V v = a.load(std::memory_order_acquire);
    if (v >= target || v == stop) return v;
    if (spins < spin_limit) {
      cpu_relax();
    } else {
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
    job_.norms.summed.store(0, std::memory_order_relaxed);
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

// The sweeping thread's floating-point mode while it sweeps ahead of the test
// that may make that sweep unwanted: the traps are held and the faults noted,
// to be met again in order if the sweep turns out to be wanted.
class HeldTraps {
 public:
  void hold() {
#ifdef CALOR2D_X86
    saved_ = _mm_getcsr();
    _mm_setcsr((saved_ | csr_masks) & ~csr_faults);
#else
    std::feholdexcept(&saved_);
#endif
    held_ = true;
  }
  // Restores the traps; true when the sweep raised one of the trapping faults.
  // The other flags stay raised, as they would have been.
  bool release() {
    if (!held_) return false;
    held_ = false;
#ifdef CALOR2D_X86
    const unsigned csr = _mm_getcsr();
    _mm_setcsr(saved_ | (csr & csr_flags & ~csr_faults));
    return (csr & csr_faults) != 0;
#else
    const int faults = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
    const bool raised = std::fetestexcept(faults) != 0;
    std::feclearexcept(faults);
    std::feupdateenv(&saved_);
    return raised;
#endif
  }
  ~HeldTraps() { release(); }

 private:
  bool held_ = false;
#ifdef CALOR2D_X86
  unsigned saved_ = 0;
#else
  std::fenv_t saved_{};
#endif
};

// Sweep k+1 may start while the helper still adds the norms of sweep k, which
// decide whether sweep k+1 is wanted at all. Before each strip the gate waits
// until the helper has read those rows for sweep k, and keeps their values until
// the norms arrive; then the stopping test is made, and if sweep k+1 is not
// wanted (or its order of faults has to be kept) the sweep stops and the kept
// rows are put back. Grids larger than the plan's limit wait for the norms
// before each sweep instead.
class Lookahead final : public fast::StripGate {
 public:
  enum class Outcome { going_on, stop, settle_again };

  Lookahead(Job& job, double* T, double* L1, double* L2, double* Linf, double tol, long limit,
            std::size_t bytes)
      : job_(job), T_(T), L1_(L1), L2_(L2), Linf_(Linf), tol_(tol), limit_(limit) {
    const std::size_t nodes = static_cast<std::size_t>(job.Nx - 2) * static_cast<std::size_t>(job.Ny - 2);
    if (nodes * sizeof(double) <= bytes) kept_.assign(nodes, 0.0);
  }

  bool can_look_ahead() const { return !kept_.empty(); }

  // The sweep about to start runs ahead of the norms of sweep m (0: none).
  void ahead_of(int m) {
    m_ = m;
    kept_to_ = 1;
    outcome_ = Outcome::going_on;
    if (m_ > 0) traps_.hold();
  }

  bool enter(int j0, int h) override {
    if (m_ == 0) return true;
    const int n = job_.Nx - 2;
    const int through = std::min(j0 + h, job_.Ny - 1);  // rows whose residuals read the strip
    const std::int64_t base = static_cast<std::int64_t>(m_ - job_.first) * n * (job_.Ny - 2);
    const std::int64_t needed = base + static_cast<std::int64_t>(through - 1) * n;
    const bool last = through == job_.Ny - 1;
    for (long spins = 0;; ++spins) {
      if (job_.norms.done.load(std::memory_order_acquire) >= m_) return settle_in_sweep();
      if (!last && job_.norms.summed.load(std::memory_order_acquire) >= needed) break;
      pause(spins);
    }
    for (int j = j0; j < j0 + h; ++j) std::memcpy(kept_row(j), row(j), sizeof(double) * n);
    kept_to_ = j0 + h - 1;
    return true;
  }

  Outcome outcome() const { return outcome_; }
  bool yielded() const { return yielded_; }
  void clear_yielded() { yielded_ = false; }

  // After a stopped sweep, with the helper stopped: the field as sweep m left it.
  void put_back() {
    const int n = job_.Nx - 2;
    for (int j = 2; j <= kept_to_; ++j) std::memcpy(row(j), kept_row(j), sizeof(double) * n);
    kept_to_ = 1;
  }

  // Waits for the norms of sweep m with the field as sweep m left it, records
  // them and makes the stopping test: true when it stops.
  bool settle(int m) {
    for (long spins = 0; job_.norms.done.load(std::memory_order_acquire) < m; ++spins) pause(spins);
    record(m);
    return stops(m);
  }

  int pending() const { return m_; }

 private:
  void pause(long spins) {
    if (spins < limit_) {
      cpu_relax();
    } else {
      yielded_ = true;
      std::this_thread::yield();
    }
  }
  bool settle_in_sweep() {
    const bool sweep_faulted = traps_.release();
    const int m = m_;
    m_ = 0;
    if (job_.norms.fault || sweep_faulted) {
      outcome_ = Outcome::settle_again;
      m_ = m;
      return false;
    }
    record(m);
    if (stops(m)) {
      outcome_ = Outcome::stop;
      m_ = m;
      return false;
    }
    return true;
  }

  void record(int m) {
    if (job_.norms.fault) {
      // The helper's sums met a trapping fault: the reference's order meets it here.
      norm_L1(job_.aP, job_.aE, job_.aN, job_.Nx, job_.Ny, T_, L1_[m]);
      norm_L2(job_.aP, job_.aE, job_.aN, job_.Nx, job_.Ny, T_, L2_[m]);
      norm_Linf(job_.aP, job_.aE, job_.aN, job_.Nx, job_.Ny, T_, Linf_[m]);
    } else {
      L1_[m] = job_.norms.l1;
      L2_[m] = job_.norms.l2;
      Linf_[m] = job_.norms.linf;
    }
  }

  // The reference's test, in this thread: none after sweep 1.
  bool stops(int m) const {
    if (m < 2) return false;
    const double q = L1_[m] / L1_[0];
    return !(q > tol_);
  }

  double* row(int j) const { return T_ + static_cast<Index>(j - 1) * job_.Nx + 2; }
  double* kept_row(int j) { return kept_.data() + static_cast<Index>(j - 2) * (job_.Nx - 2); }

  Job& job_;
  double* const T_;
  double* const L1_;
  double* const L2_;
  double* const Linf_;
  const double tol_;
  const long limit_;
  std::vector<double> kept_;
  int m_ = 0;        // the sweep whose norms are awaited
  int kept_to_ = 1;  // rows 2 .. kept_to_ are kept
  Outcome outcome_ = Outcome::going_on;
  bool yielded_ = false;
  HeldTraps traps_;
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
  const long limit = spin_limit(Nx);
  Lookahead gate(helper.job(), T, L1, L2, Linf, tol, limit, plan.lookahead_bytes);

  // Two threads are faster only while both have a processor of their own. On a
  // shared or virtual machine that can change during a solve, so the solve times
  // itself: a long window of sweeps in the way that has been faster, then a short
  // probe of the other way, and the probe's way takes over when its mean time per
  // sweep was lower. The sweep right after a switch (a thread started or joined)
  // is not timed. A probe that loses makes the next long window twice as long.
  const std::int64_t all = static_cast<std::int64_t>(Nx - 2) * (Ny - 2);
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
  int pending = 0;  // a sweep of the helper's whose norms are not yet taken
  const auto open_window = [&](int sweeps) {
    window_left = sweeps;
    run_sweeps = 0;
    warming = true;
  };
  // Ends two-thread work after sweep `pending`; true when its test stops the solve.
  const auto go_alone = [&]() {
    const bool stop = pending > 0 && gate.settle(pending);
    pending = 0;
    helper.stop();
    return stop;
  };
  it = itmax;
  for (int k = 1; k <= itmax; ++k) {
    bool alone = !helper.running();
    if (!alone) {
      Job& job = helper.job();
      gate.clear_yielded();
      if (pending > 0 && !gate.can_look_ahead()) {
        if (gate.settle(pending)) {
          it = pending;
          break;
        }
        pending = 0;
      }
      gate.ahead_of(pending);
      const bool whole =
          fast::sweep_announcing(path, aP, aE, aN, Nx, Ny, T, job.progress.front, (k - job.first) * all, &gate);
      if (whole) {
        pending = k;
        slow = gate.yielded() ? slow + 1 : 0;
      } else {
        // The norms of the sweep before stopped this one: the field goes back.
        const int m = gate.pending();
        helper.stop();
        gate.put_back();
        pending = 0;
        if (gate.outcome() == Lookahead::Outcome::stop || gate.settle(m)) {
          it = m;
          break;
        }
        // This sweep again, alone, meeting its traps in order.
        slow = 0;
        prefer_two = false;
        probing = false;
        long_window = plan.window;
        open_window(long_window + 1);
        alone = true;
      }
      if (!alone && slow == slow_hand_overs) {
        // A long window alone, this sweep its untimed first.
        slow = 0;
        if (go_alone()) {
          it = k;
          break;
        }
        prefer_two = false;
        probing = false;
        long_window = plan.window;
        open_window(long_window + 1);
      }
    }
    if (alone) {
      fast::sweep_with_norms(path, aP, aE, aN, Nx, Ny, T, L1[k], L2[k], Linf[k]);
      // The reference's test, in this thread: no test after sweep 1.
      if (k >= 2) {
        const double q = L1[k] / L1[0];
        if (!(q > tol)) {
          it = k;
          break;
        }
      }
    }
    if (k == itmax) {
      if (go_alone()) it = k;
      break;
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
      if (go_alone()) {
        it = k;
        break;
      }
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
