// Shared state of one run: written by the step that produces each value, read by the later ones.
#pragma once

#include <vector>

#include "runtime/memory.h"

namespace variaveis {

inline constexpr int out_name_len = 100;

// Case values (read from the case file).
extern char out_name[out_name_len];  // report file name, blank-padded
extern double Lx, Ly;                // plate size [m]
extern int Nx, Ny;                   // nodes along x and y, edges included
extern int itmax;                    // iteration limit
extern double tol;                   // tolerance on L1(k)/L1(0)
extern int sol_mode;                 // 1 every node, 2 central node, other: none
extern int hist_step;                // stride of the history table

// Grid and fields. Node (i, j) is element k = i + (j-1)*Nx; element 0 of the
// 1-based arrays (x, y, T, Ta) is unused, so T[k] is node k as written in the method.
extern int N;
extern double pi, dx, dy;
extern std::vector<double> x, y, T, Ta;
extern double aP, aE, aN;

// Norm histories, elements 0..itmax. Sized for the iteration limit but used up
// to `it`, so their pages are taken only as the solver writes them.
extern rt::ZeroedArray L1, L2, Linf;
extern int it;

extern double Tm_a, Tm_n;
extern double tcpu;
extern int sys_status;

// Back to the start-of-process state: zeros, blank name, no arrays.
void reset();

}  // namespace variaveis
