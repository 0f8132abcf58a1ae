// Sweeps on several threads: the interior rows are cut into bands, one a
// thread, pipelined so that band b runs sweep k while band b-1 is already on
// sweep k+1. Each thread also adds up |r| of its rows after each of its sweeps,
// for the stopping test.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "solvers/wavefront.h"

namespace solvers::threads {

class Crew {
 public:
  // The most sweeps one run may take.
  static constexpr int longest_run = 256;

  // Up to `threads` bands (each at least two rows) on the calling thread and
  // threads - 1 more; fewer when threads cannot be started.
  Crew(fast::Path path, double aP, double aE, double aN, int Nx, int Ny, double* T, int threads);
  ~Crew();
  Crew(const Crew&) = delete;
  Crew& operator=(const Crew&) = delete;

  int bands() const { return static_cast<int>(bands_.size()); }

  // Sweeps from after sweep `done` on, `count` of them (1 .. longest_run), with
  // every band: on return T is the field after sweep done + count, and sums[i]
  // the sum of |r| of the field after sweep done + 1 + i, added in no set order.
  // A run computes nothing the same sweeps on one thread would not (the sweep
  // and the residuals with the reference's operations), so a run of sweeps
  // whose norms would not trap traps nowhere.
  void run(int done, int count, double* sums);

  struct Band;

 private:
  void work(int b);
  void sweep_band(int b, int k);
  void worker_main(int b);
  void next_generation();

  fast::Path path_;
  double aP_, aE_, aN_;
  int Nx_, Ny_;
  double* T_;
  std::vector<std::unique_ptr<Band>> bands_;
  std::vector<std::thread> threads_;
  int done_ = 0, count_ = 0;
  alignas(64) std::atomic<int> generation_{0};
  alignas(64) std::atomic<int> finished_{0};
  std::atomic<bool> quit_{false};
  std::mutex idle_mutex_;  // threads sleep between runs
  std::condition_variable idle_;
};

}  // namespace solvers::threads
