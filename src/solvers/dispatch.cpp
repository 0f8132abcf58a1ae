#include "solvers/dispatch.h"

#include "runtime/platform/platform.h"
#include "solvers/threads.h"
#include "solvers/wavefront.h"

namespace solvers::dispatch {

namespace {

// Measured: from about 20 columns and 1000 interior nodes on, and more the
// larger the grid; below, the hand-over per sweep costs more than it saves.
bool two_threads_pay(int Nx, int Ny) { return Nx >= 20 && static_cast<long long>(Nx - 2) * (Ny - 2) >= 1000; }

}  // namespace

void solve(double aP, double aE, double aN, int itmax, double tol, int Nx, int Ny, double* L1, double* L2,
           double* Linf, int& it, double* T) {
  static const fast::Path path = fast::best_path();
  static const bool two_cpus = rt::plat::usable_processors() >= 2;
  if (two_cpus && two_threads_pay(Nx, Ny)) {
    pipeline::gauss_seidel_two_threads(path, aP, aE, aN, itmax, tol, Nx, Ny, L1, L2, Linf, it, T);
  } else {
    fast::gauss_seidel_on(path, aP, aE, aN, itmax, tol, Nx, Ny, L1, L2, Linf, it, T);
  }
}

}  // namespace solvers::dispatch
