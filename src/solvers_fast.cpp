#include "solvers.h"

namespace solvers {

void gauss_seidel(double aP, double aE, double aN, int itmax, double tol, int Nx, int Ny, double* L1,
                  double* L2, double* Linf, int& it, double* T) {
  gauss_seidel_reference(aP, aE, aN, itmax, tol, Nx, Ny, L1, L2, Linf, it, T);
}

}  // namespace solvers
