// The decision after a sweep whose norms the report never prints: does the
// solve go on? Taken from an unordered sum of |r| when a bound on its distance
// from the ordered sum makes the answer certain, else from the exact norms.
#pragma once

#include "solvers/wavefront.h"

namespace solvers {

// The reference's stopping test after sweep k (k >= 2): the ratio to the first
// residual is no longer above tol. A grid without interior nodes meets 0/0 here.
inline bool converged(const double* L1, int k, double tol) {
  const double q = L1[k] / L1[0];
  return !(q > tol);
}

class StoppingTest {
 public:
  // Looks once at the coefficients, the field before sweep 1 and L1(0) (see
  // certain_at_all). `inflation` (at least 1) widens the bound; from 2^50 on no
  // sum is ever certain, which puts every decision on the exact norms.
  StoppingTest(double aP, double aE, double aN, int Nx, int Ny, const double* T, double L1_0, double tol,
               double inflation = 1.0);

  // Whether an unordered sum can ever decide: no norm of any sweep can overflow
  // or meet 0/0, nor can any step of the decision itself.
  bool certain_at_all() const { return certain_; }

  // True when the ordered L1 of the field whose |r| add up to `sum` (in any
  // order) is surely above tol * L1(0): the solve surely goes on. Only for
  // solves that are certain_at_all.
  bool surely_goes_on(double sum) const;

 private:
  bool certain_ = false;
  double shrink_ = 0.0;  // fl(1 - delta)
  double L1_0_ = 0.0;
  double tol_ = 0.0;
};

// The sum of |r| over `rows` rows of interior nodes, in no set order: row m's
// nodes are centre[m*Nx + c] for c = 0 .. Nx-3, its neighbours the same places
// in south and north and one to either side in centre. Each |r| is the
// reference's (same operations, same order).
double abs_residual_sum(fast::Path path, double aP, double aE, double aN, int Nx, const double* south,
                        const double* centre, const double* north, int rows);

// The same over every interior node of a plate (1-based field T).
inline double abs_residual_sum(fast::Path path, double aP, double aE, double aN, int Nx, int Ny, const double* T) {
  if (Nx <= 2 || Ny <= 2) return 0.0;
  const double* const centre = T + Nx + 2;
  return abs_residual_sum(path, aP, aE, aN, Nx, centre - Nx, centre, centre + Nx, Ny - 2);
}

}  // namespace solvers
