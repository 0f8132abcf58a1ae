#include "solvers/solvers.h"

#include <cfloat>
#include <cmath>

#include "solvers/dispatch.h"

namespace solvers {

namespace {

// Steps 1-5 of the residual: the neighbour part, shared with the update.
inline double neighbours(double aE, double aN, int Nx, const double* T, int k) {
  const double a = T[k + Nx] + T[k - Nx];
  const double b = a * aN;
  const double c = T[k + 1] + T[k - 1];
  const double d = c * aE;
  return b + d;
}

inline double residual(double aP, double aE, double aN, int Nx, const double* T, int k) {
  const double e = neighbours(aE, aN, Nx, T, k);
  const double f = T[k] * aP;
  return e - f;
}

// In place, so west and south neighbours are already this sweep's values.
void sweep(double aP, double aE, double aN, int Nx, int Ny, double* T) {
  for (int j = 2; j <= Ny - 1; ++j) {
    for (int i = 2; i <= Nx - 1; ++i) {
      const int k = i + (j - 1) * Nx;
      T[k] = neighbours(aE, aN, Nx, T, k) / aP;
    }
  }
}

void norms(double aP, double aE, double aN, int Nx, int Ny, const double* T, double& l1, double& l2, double& linf) {
  norm_L1(aP, aE, aN, Nx, Ny, T, l1);
  norm_L2(aP, aE, aN, Nx, Ny, T, l2);
  norm_Linf(aP, aE, aN, Nx, Ny, T, linf);
}

}  // namespace

void norm_L1(double aP, double aE, double aN, int Nx, int Ny, const double* T, double& result) {
  double s = 0.0;
  for (int j = 2; j <= Ny - 1; ++j) {
    for (int i = 2; i <= Nx - 1; ++i) {
      s = s + std::fabs(residual(aP, aE, aN, Nx, T, i + (j - 1) * Nx));
    }
  }
  result = s;
}

void norm_L2(double aP, double aE, double aN, int Nx, int Ny, const double* T, double& result) {
  double s = 0.0;
  for (int j = 2; j <= Ny - 1; ++j) {
    for (int i = 2; i <= Nx - 1; ++i) {
      const double r = residual(aP, aE, aN, Nx, T, i + (j - 1) * Nx);
      s = s + r * r;
    }
  }
  result = s;
}

// The maximum is taken over all Nx*Ny nodes with the edges counting as 0, starting
// from the most negative double. Column 1 is always an edge, so any grid with a
// node starts the scan at 0, and an empty grid leaves -DBL_MAX; no scratch field
// is needed to reproduce that.
void norm_Linf(double aP, double aE, double aN, int Nx, int Ny, const double* T, double& result) {
  if (static_cast<long long>(Nx) * Ny < 1) {
    result = -DBL_MAX;
    return;
  }
  double m = 0.0;
  for (int j = 2; j <= Ny - 1; ++j) {
    for (int i = 2; i <= Nx - 1; ++i) {
      const double r = std::fabs(residual(aP, aE, aN, Nx, T, i + (j - 1) * Nx));
      if (r > m) m = r;
    }
  }
  result = m;
}

// Histories hold itmax + 1 elements, so without a first sweep's element 1 to
// write (itmax < 1) nothing is swept and it = 0.
void gauss_seidel_reference(double aP, double aE, double aN, int itmax, double tol, int Nx, int Ny, double* L1,
                            double* L2, double* Linf, int& it, double* T) {
  if (itmax < 1) {
    it = 0;
    return;
  }
  // No test after the first sweep, however small its residual.
  sweep(aP, aE, aN, Nx, Ny, T);
  norms(aP, aE, aN, Nx, Ny, T, L1[1], L2[1], Linf[1]);

  it = itmax;
  for (int k = 2; k <= itmax; ++k) {
    sweep(aP, aE, aN, Nx, Ny, T);
    norms(aP, aE, aN, Nx, Ny, T, L1[k], L2[k], Linf[k]);
    // Written as "not greater" so that a ratio equal to tol stops. Without an
    // interior node this is 0/0 and traps as an invalid operation.
    const double q = L1[k] / L1[0];
    if (!(q > tol)) {
      it = k;
      break;
    }
  }
}

// The program's solver, as solvers/dispatch.h lays it out.
void gauss_seidel(double aP, double aE, double aN, int itmax, double tol, int Nx, int Ny, double* L1, double* L2,
                  double* Linf, int& it, double* T, int hist_step) {
  dispatch::solve(dispatch::program_options(hist_step), aP, aE, aN, itmax, tol, Nx, Ny, L1, L2, Linf, it, T);
}

}  // namespace solvers
