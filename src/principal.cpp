#include "principal.h"

#include "coeficientes.h"
#include "dados.h"
#include "processamento.h"
#include "runtime/clock.h"
#include "runtime/elementary.h"
#include "runtime/fpe.h"
#include "runtime/memory.h"
#include "solvers/solvers.h"
#include "variaveis.h"

namespace principal {

using namespace variaveis;

void run() {
  dados::read_case();
  tcpu = rt::timef();
  pi = rt::m_acos(-1.0);

  N = Nx * Ny;
  // The fields are filled whole: refused now if they cannot fit, rather than
  // killed by the system half-way through filling them.
  rt::require_memory(sizeof(double) * ((2 * (static_cast<std::uint64_t>(N) + 1)) + Nx + 1 + Ny + 1));
  Ta.assign(static_cast<std::size_t>(N) + 1, 0.0);
  T.assign(static_cast<std::size_t>(N) + 1, 0.0);
  y.assign(static_cast<std::size_t>(Ny) + 1, 0.0);
  x.assign(static_cast<std::size_t>(Nx) + 1, 0.0);
  L1.assign(static_cast<std::size_t>(itmax) + 1, 0.0);
  L2.assign(static_cast<std::size_t>(itmax) + 1, 0.0);
  Linf.assign(static_cast<std::size_t>(itmax) + 1, 0.0);

  dx = Lx / (Nx - 1.0);
  dy = Ly / (Ny - 1.0);
  for (int i = 1; i <= Nx; ++i) x[i] = (i - 1.0) * dx;
  for (int j = 1; j <= Ny; ++j) y[j] = (j - 1.0) * dy;
  for (int k = 1; k <= N; ++k) T[k] = 0.0;

  coeficientes::coefficients();
  coeficientes::bc_top();
  coeficientes::bc_bottom();
  coeficientes::bc_left();
  coeficientes::bc_right();

  solvers::norm_L1(aP, aE, aN, Nx, Ny, T.data(), L1[0]);
  solvers::norm_L2(aP, aE, aN, Nx, Ny, T.data(), L2[0]);
  solvers::norm_Linf(aP, aE, aN, Nx, Ny, T.data(), Linf[0]);

  solvers::gauss_seidel(aP, aE, aN, itmax, tol, Nx, Ny, L1.data(), L2.data(), Linf.data(), it, T.data(), hist_step);

  tcpu = rt::timef();
  processamento::post_processing();
}

}  // namespace principal
