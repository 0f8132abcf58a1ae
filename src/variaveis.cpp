#include "variaveis.h"

#include <cstring>

namespace variaveis {

char out_name[out_name_len];
double Lx, Ly;
int Nx, Ny, itmax;
double tol;
int sol_mode, hist_step;
int N;
double pi, dx, dy;
std::vector<double> x, y, T, Ta;
double aP, aE, aN;
rt::ZeroedArray L1, L2, Linf;
int it;
double Tm_a, Tm_n, tcpu;
int sys_status;

namespace {
// A null value in the case file leaves a name of blanks, not NULs.
[[maybe_unused]] const bool blank_name = [] {
  std::memset(out_name, ' ', sizeof out_name);
  return true;
}();
}  // namespace

void reset() {
  std::memset(out_name, ' ', sizeof out_name);
  Lx = Ly = 0.0;
  Nx = Ny = itmax = 0;
  tol = 0.0;
  sol_mode = hist_step = 0;
  N = 0;
  pi = dx = dy = 0.0;
  x.clear();
  y.clear();
  T.clear();
  Ta.clear();
  aP = aE = aN = 0.0;
  L1.clear();
  L2.clear();
  Linf.clear();
  it = 0;
  Tm_a = Tm_n = tcpu = 0.0;
  sys_status = 0;
}

}  // namespace variaveis
