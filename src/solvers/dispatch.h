// How the program's gauss_seidel (solvers/solvers.h) solves: which sweep and
// how many threads.
#pragma once

namespace solvers::dispatch {

void solve(double aP, double aE, double aN, int itmax, double tol, int Nx, int Ny, double* L1, double* L2,
           double* Linf, int& it, double* T);

}  // namespace solvers::dispatch
