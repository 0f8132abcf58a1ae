// Residual norms and the Gauss-Seidel solver.
//
// Fields are 1-based: T[k] is node k = i + (j-1)*Nx, T[0] is not used. Histories
// are 0-based with elements 0..itmax.
//
// Residual of interior node k, in this grouping and order (the solver's update
// uses steps 1-5 and then divides e by aP):
//   a = T[k+Nx] + T[k-Nx]; b = a*aN; c = T[k+1] + T[k-1]; d = c*aE; e = b + d;
//   r = e - T[k]*aP
// Interior nodes are visited row by row (j = 2..Ny-1), columns i = 2..Nx-1 within
// a row; L1 and L2 are summed in that order.
#pragma once

namespace solvers {

// Sum of |r| over the interior nodes.
void norm_L1(double aP, double aE, double aN, int Nx, int Ny, const double* T, double& result);
// Sum of r*r (no square root).
void norm_L2(double aP, double aE, double aN, int Nx, int Ny, const double* T, double& result);
// Largest |r|; 0 when there is no interior node (and the most negative double for N = 0).
void norm_Linf(double aP, double aE, double aN, int Nx, int Ny, const double* T, double& result);

// Point Gauss-Seidel: sweep 1 with no test, then sweeps k = 2..itmax each followed
// by the test L1[k]/L1[0] <= tol (stop). Writes it and, for every multiple k of
// hist_step up to it and for k = it, L1, L2 and Linf [k]: the elements the
// report prints. Other elements of 1..it may be written with their norms or
// left as they were. With itmax < 1 the histories have no element 1: nothing is
// swept and it = 0. The same bits as gauss_seidel_reference wherever it writes,
// the same it and field, the same faults; faster, on every processor the
// process may use.
void gauss_seidel(double aP, double aE, double aN, int itmax, double tol, int Nx, int Ny, double* L1, double* L2,
                  double* Linf, int& it, double* T, int hist_step);

// The plain rendering of the method, kept as the reference the fast solver must match.
void gauss_seidel_reference(double aP, double aE, double aN, int itmax, double tol, int Nx, int Ny, double* L1,
                            double* L2, double* Linf, int& it, double* T);

}  // namespace solvers
