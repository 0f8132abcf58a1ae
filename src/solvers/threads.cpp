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
#include "solvers/threads.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/platform/platform.h"
#include "solvers/solvers.h"
#include "solvers/threads_helper.h"

namespace solvers::pipeline {

namespace {

using Index = std::ptrdiff_t;
using fast::Path;

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
    if (spins >= limit_) yielded_ = true;
    pipeline::pause(spins, limit_);
  }
  // The norms of sweep m are in: false when this sweep must stop (m stays pending).
  bool settle_in_sweep() {
    const bool sweep_faulted = traps_.release();
    if (job_.norms.fault || sweep_faulted) {
      outcome_ = Outcome::settle_again;
      return false;
    }
    record(m_);
    if (stops(m_)) {
      outcome_ = Outcome::stop;
      return false;
    }
    m_ = 0;
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
  bool stops(int m) const { return m >= 2 && fast::converged(L1_, m, tol_); }

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
  // A long window alone from this sweep on, which is its untimed first.
  const auto alone_for_a_window = [&]() {
    slow = 0;
    prefer_two = false;
    probing = false;
    long_window = plan.window;
    open_window(long_window + 1);
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
        alone_for_a_window();
        alone = true;
      }
      if (!alone && slow == slow_hand_overs) {
        if (go_alone()) {
          it = k;
          break;
        }
        alone_for_a_window();
      }
    }
    if (alone) {
      fast::sweep_with_norms(path, aP, aE, aN, Nx, Ny, T, L1[k], L2[k], Linf[k]);
      // The reference's test, in this thread: no test after sweep 1.
      if (k >= 2 && fast::converged(L1, k, tol)) {
        it = k;
        break;
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

}  // namespace solvers::pipeline
