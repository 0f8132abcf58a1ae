// Gauss-Seidel on two threads: the calling thread sweeps, a helper follows it
// through the field and adds the residual norms in node order. Bit-identical to
// gauss_seidel_reference, including where a floating-point trap stops the run.
#pragma once

#include "solvers_fast.h"

namespace solvers::pipeline {

// Whether a second processor is there to run the helper.
bool second_cpu_available();

// gauss_seidel with the sweep on `path` (which must be supported). Runs on one
// thread when the grid has no interior node or no thread can be started.
void gauss_seidel_two_threads(fast::Path path, double aP, double aE, double aN, int itmax, double tol, int Nx,
                              int Ny, double* L1, double* L2, double* Linf, int& it, double* T);

}  // namespace solvers::pipeline
