// Gauss-Seidel on two threads: the calling thread sweeps, a helper follows it
// through the field and adds the residual norms in node order. Bit-identical to
// gauss_seidel_reference, including where a floating-point trap stops the run.
#pragma once

#include "solvers_fast.h"

namespace solvers::pipeline {

// Whether a second processor is there to run the helper.
bool second_cpu_available();

// Whether a grid is large enough for the second thread to pay; the program's
// gauss_seidel (solvers.h) takes two threads when this holds and a second
// processor is there.
bool pays_off(int Nx, int Ny);

// gauss_seidel with the sweep on `path` (which must be supported). Runs on one
// thread when the grid has no interior node or no thread can be started, and
// goes on alone when the helper keeps being held up by other work.
void gauss_seidel_two_threads(fast::Path path, double aP, double aE, double aN, int itmax, double tol, int Nx,
                              int Ny, double* L1, double* L2, double* Linf, int& it, double* T);

}  // namespace solvers::pipeline
