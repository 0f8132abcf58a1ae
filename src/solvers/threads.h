// Gauss-Seidel on two threads: the calling thread sweeps, a helper follows it
// through the field and adds the residual norms in node order. Bit-identical to
// gauss_seidel_reference, including where a floating-point trap stops the run.
#pragma once

#include <cstddef>

#include "solvers/wavefront.h"

namespace solvers::pipeline {

// How the solve checks that the second thread still pays, in sweeps: long
// windows in the faster way, each followed by a probe of the other way. Going to
// two threads starts a helper thread, going to one joins it: that happens only
// between windows, a few times a solve, never within a sweep. A helper kept
// waiting in between made a program's single solve of 101 x 101 less steady
// here (0.89-1.65 ns per node-sweep against 0.81-0.96): a new thread is placed
// afresh by the scheduler, a woken one tends to stay where it was.
struct Schedule {
  int window = 512;    // the first long window, and the next after a switch
  int probe = 24;      // a probe of the other way
  int longest = 8192;  // long windows double up to this while probes lose
  // A sweep may start before the helper has handed over the norms of the one
  // before, keeping the values it overwrites until then in case that sweep's
  // test stops the solve: 8 bytes a node, for grids up to this size.
  std::size_t lookahead_bytes = std::size_t{2} << 20;
};

// gauss_seidel with the sweep on `path` (which must be supported). Runs on one
// thread when the grid has no interior node or no thread can be started, goes
// on alone when the helper keeps being held up by other work, and moves between
// two threads and one as `plan`'s timings say; every way gives the same bits.
void gauss_seidel_two_threads(fast::Path path, double aP, double aE, double aN, int itmax, double tol, int Nx,
                              int Ny, double* L1, double* L2, double* Linf, int& it, double* T,
                              const Schedule& plan = Schedule{});

}  // namespace solvers::pipeline
