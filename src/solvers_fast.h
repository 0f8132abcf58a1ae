// Code paths of the fast Gauss-Seidel solver, selectable so that tests and
// benchmarks can run each one; the program uses gauss_seidel (solvers.h), which
// takes the best path this processor supports.
#pragma once

namespace solvers::fast {

enum class Path {
  portable,  // 2-wide vectors: any target the compiler supports
  avx2,      // 4-wide, x86-64 with AVX2
  avx512,    // 8-wide, x86-64 with AVX-512F
};

bool supported(Path path);
Path best_path();
const char* name(Path path);

// gauss_seidel on the given path, which must be supported.
void gauss_seidel_on(Path path, double aP, double aE, double aN, int itmax, double tol, int Nx, int Ny,
                     double* L1, double* L2, double* Linf, int& it, double* T);

}  // namespace solvers::fast
