#include "processamento.h"

#include <cmath>

#include "dados.h"
#include "runtime/fpe.h"
#include "variaveis.h"

namespace processamento {

using namespace variaveis;

namespace {

// Closed-form mean 2*Lx*(cosh a - 1) / (pi^2 * Ly * sinh a), a = pi*Ly/Lx.
//
// Just below the sinh overflow the denominator ((sinh(a)*pi)*pi)*Ly can pass the
// double range while the mean itself is small. Scaling sinh(a) and cosh(a) - 1 by
// the same power of two changes no rounding as long as every scaled value stays
// normal, and the quotient q is unchanged, so large arguments take the scaled
// path and give the same bits the plain formula gives wherever it does not
// overflow. Past 2^512 the scaled values stay normal: s' >= pi*pi*|Ly|, and a
// |Ly| small enough to make that subnormal would need pi/Lx beyond the double
// range to reach a sinh that large.
double mean_closed_form() {
  constexpr double large = 0x1p512;
  constexpr double down = 0x1p-512;

  const double a = (pi / Lx) * Ly;
  double sh = rt::m_sinh(a);
  double cm1 = rt::m_cosh(a) - 1.0;
  if (std::fabs(sh) >= large) {
    sh = sh * down;
    cm1 = cm1 * down;
  }
  const double s = ((sh * pi) * pi) * Ly;
  const double q = cm1 / s;
  return (q * Lx) * 2.0;
}

}  // namespace

void post_processing() {
  analytic_solution();
  Tm_n = mean_temperature(Nx, Ny, T.data());
  dados::write_report();
}

// Every node goes through the formula, edges included: the top row may then
// differ from the boundary values in T in the last digits, which the report shows.
void analytic_solution() {
  for (int j = 1; j <= Ny; ++j) {
    const double den = rt::m_sinh((pi / Lx) * Ly);
    for (int i = 1; i <= Nx; ++i) {
      Ta[i + (j - 1) * Nx] = (rt::m_sin((x[i] / Lx) * pi) * rt::m_sinh((y[j] / Lx) * pi)) / den;
    }
  }
  Tm_a = mean_closed_form();
}

// Cell by cell, each cell's four corners added in a fixed order; a node-weighted
// sum would be the same mean mathematically but round differently.
double mean_temperature(int nx, int ny, const double* f) {
  double acc = 0.0;
  for (int j = 2; j <= ny; ++j) {
    for (int i = 2; i <= nx; ++i) {
      const int k = i + (j - 1) * nx;
      const double c = ((f[k - 1] + f[k - nx - 1]) + f[k]) + f[k - nx];
      acc = acc + c;
    }
  }
  const double cells = static_cast<double>(nx - 1) * static_cast<double>(ny - 1);
  return acc / (cells * 4.0);
}

}  // namespace processamento
