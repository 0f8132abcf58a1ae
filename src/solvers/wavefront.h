// Code paths of the fast Gauss-Seidel solver, selectable so that tests and
// benchmarks can run each one; the program uses gauss_seidel (solvers/solvers.h), which
// takes the best path this processor supports.
#pragma once

#include <atomic>
#include <cstdint>

namespace solvers::fast {

enum class Path {
  portable,  // 2-wide vectors: any target the compiler supports
  avx2,      // 4-wide, x86-64 with AVX2
  avx512,    // 8-wide, x86-64 with AVX-512F
};

bool supported(Path path);
Path best_path();
const char* name(Path path);

// The reference's stopping test after sweep k (k >= 2): the ratio to the first
// residual is no longer above tol. A grid without interior nodes meets 0/0 here.
inline bool converged(const double* L1, int k, double tol) {
  const double q = L1[k] / L1[0];
  return !(q > tol);
}

// gauss_seidel on the given path, which must be supported.
void gauss_seidel_on(Path path, double aP, double aE, double aN, int itmax, double tol, int Nx, int Ny,
                     double* L1, double* L2, double* Linf, int& it, double* T);

// Asked before a sweep writes each strip of rows j0 .. j0+h-1 (1-based rows):
// it may wait, and it may stop the sweep, which then writes nothing more.
class StripGate {
 public:
  virtual bool enter(int j0, int h) = 0;

 protected:
  ~StripGate() = default;
};

// One sweep on the given path (a grid without interior nodes is left alone), for
// a residual sum taken by another thread: as it goes it stores into `front`, with
// release order, base + the number of interior nodes, counted in node order,
// whose north neighbour it has swept; those nodes' residuals are then final and
// it writes none of the nodes they read again. It ends on base + all of them.
// With a gate, false when the gate stopped it (and `front` is not completed).
bool sweep_announcing(Path path, double aP, double aE, double aN, int Nx, int Ny, double* T,
                      std::atomic<std::int64_t>& front, std::int64_t base, StripGate* gate = nullptr);

// One sweep and the three norms of the field it leaves, on one thread: a step of
// gauss_seidel_on.
void sweep_with_norms(Path path, double aP, double aE, double aN, int Nx, int Ny, double* T, double& l1,
                      double& l2, double& linf);

}  // namespace solvers::fast
