#include "coeficientes.h"

#include "runtime/elementary.h"
#include "variaveis.h"

namespace coeficientes {

using namespace variaveis;

// The equation at a node is the five-point Laplacian multiplied through by dx:
//   (T[k+1] + T[k-1]) / dx + (T[k+Nx] + T[k-Nx]) * dx/dy^2 = 2*(1/dx + dx/dy^2) * T[k].
// Weighting the north/south pair by 1/dy instead would solve a different equation
// whenever dx != dy. aN keeps the grouping (1/dy)*(dx/dy) so that on square cells,
// where dx/dy is exactly 1, it is the same double as 1/dy.
void coefficients() {
  aE = 1.0 / dx;
  aN = (1.0 / dy) * (dx / dy);
  aP = (aE + aN) * 2.0;
}

// Runs before the other edges so that both top corners keep the sine values.
void bc_top() {
  const int row = (Ny - 1) * Nx;
  for (int i = 1; i <= Nx; ++i) T[row + i] = rt::m_sin((x[i] / Lx) * pi);
}

void bc_bottom() {
  for (int i = 1; i <= Nx; ++i) T[i] = 0.0;
}

void bc_left() {
  for (int j = 2; j <= Ny - 1; ++j) T[1 + (j - 1) * Nx] = 0.0;
}

void bc_right() {
  for (int j = 2; j <= Ny - 1; ++j) T[j * Nx] = 0.0;
}

}  // namespace coeficientes
