// How gauss_seidel solves: the sweep's code path, the threads, and which
// sweeps get their norms.
//
// The report prints the history elements of every multiple of hist_step and of
// the last sweep. Those sweeps get the three norms exactly as the reference
// forms them, and so does every sweep whose stopping test an unordered sum of
// |r| cannot settle (see solvers/stopping_test.h), which includes the sweep that
// stops the solve. The other elements are left as they were.
#pragma once

#include "solvers/pace.h"
#include "solvers/wavefront.h"

namespace solvers::dispatch {

struct Options {
  fast::Path path = fast::Path::portable;
  int threads = 1;         // at most; bands of fewer than two rows are never made
  int hist_step = 1;       // below 1: every sweep gets its norms
  double inflation = 1.0;  // widens the stopping test's bound (2^50: never certain)
  // Threads are used on grids of at least this many interior rows and nodes.
  int least_rows = 2;
  long long least_nodes = 0;
  // Times the runs of sweeps (solvers/pace.h); null: the steady clock.
  const Pace::Clock* clock = nullptr;
};

// The best path, every usable processor, and the grid sizes below which one
// thread is faster.
Options program_options(int hist_step);

void solve(const Options& options, double aP, double aE, double aN, int itmax, double tol, int Nx, int Ny, double* L1,
           double* L2, double* Linf, int& it, double* T);

}  // namespace solvers::dispatch
