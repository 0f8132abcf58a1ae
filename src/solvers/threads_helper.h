// The helper thread of the two-thread solver (solvers/threads.h): it follows
// the sweeping thread through the field and adds the residual norms in node
// order, and the state the two threads hand over. Used by the two-thread
// driver only.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "solvers/wavefront.h"

namespace solvers::pipeline {

// The caller's floating-point mode, which the helper computes in: the whole
// control word on x86, the rounding mode elsewhere.
#if defined(__x86_64__) || defined(__i386__)
using FpMode = unsigned;
#else
using FpMode = int;
#endif
FpMode caller_mode();

// Written by the sweeping thread only; `quit` tells the helper to end.
struct alignas(64) Progress {
  std::atomic<std::int64_t> front{0};  // see fast::sweep_announcing
};
inline constexpr std::int64_t quit = -1;

// Written by the helper only: the norms of sweep `done`, and how far it has got
// with the next one.
struct alignas(64) Norms {
  std::atomic<int> done{0};
  std::atomic<std::int64_t> summed{0};  // nodes added, counted like Progress::front
  double l1 = 0, l2 = 0, linf = 0;
  bool fault = false;  // the sums raised a trapping exception: values not to be used
};

struct Job {
  fast::Path path;
  double aP, aE, aN;
  int Nx, Ny;
  const double* T;
  FpMode mode;
  int first;        // the first sweep the helper sums; the count starts from it
  int sweeper_cpu;  // where the sweeping thread ran when it started the helper
  Progress progress;
  Norms norms;
};

// Spins a while (a sweep of a small grid takes microseconds), then also gives
// the processor away, for a machine busy with other work; `spins` counts the
// calls of one wait.
void pause(long spins, long spin_limit);

// Several times the helper's usual lag behind a finished sweep (a strip of rows).
inline long spin_limit(int Nx) { return 4096 + 16L * Nx; }

// Waits that long on this many sweeps in a row mean the helper is not getting a
// processor of its own: a new thread often starts on its parent's processor
// until the scheduler moves it, and a busy machine may keep it there. The solve
// then goes on alone for a long window before it tries two threads again. A late
// hand-over now and then (a moment's preemption on a shared machine) is no
// reason to give up the second processor.
constexpr int slow_hand_overs = 4;

// The helper thread and its hand-over state, started and stopped as the solve
// moves between two threads and one.
class Helper {
 public:
  Helper(fast::Path path, double aP, double aE, double aN, int Nx, int Ny, const double* T)
      : job_{path, aP, aE, aN, Nx, Ny, T, caller_mode(), 1, -1, {}, {}} {}
  ~Helper() { stop(); }
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;

  bool running() const { return thread_.joinable(); }
  Job& job() { return job_; }

  // Follows sweeps from `first` on; false when no thread can be started.
  bool start(int first);
  void stop();

 private:
  Job job_;
  std::thread thread_;
};

// The sweeping thread's floating-point mode while it sweeps ahead of the test
// that may make that sweep unwanted: the traps are held and the faults noted,
// to be met again in order if the sweep turns out to be wanted.
class HeldTraps {
 public:
  HeldTraps() = default;
  HeldTraps(const HeldTraps&) = delete;
  HeldTraps& operator=(const HeldTraps&) = delete;
  ~HeldTraps() { release(); }

  void hold();
  // Restores the traps; true when the sweep raised one of the trapping faults.
  // The other flags stay raised, as they would have been.
  bool release();

  static constexpr int room = 64;  // for the saved environment

 private:
  bool held_ = false;
  alignas(16) unsigned char saved_[room] = {};
};

}  // namespace solvers::pipeline
