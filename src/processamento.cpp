#include "processamento.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "dados.h"
#include "runtime/elementary.h"
#include "variaveis.h"

namespace processamento {

using namespace variaveis;

namespace {

// A double's significand with an exponent of its own range: a product or a
// quotient of two significands in [0.5, 1) stays normal, so it rounds exactly
// as the product of the full values does wherever that one is a normal double,
// and it never overflows.
struct Wide {
  double m;    // 0, or 0.5 <= |m| < 1
  long e = 0;  // the value is m * 2^e
};

Wide wide(double x) {
  int e = 0;
  const double m = std::frexp(x, &e);
  return {m, e};
}

Wide times(Wide a, Wide b) {
  Wide r = wide(a.m * b.m);
  r.e += a.e + b.e;
  return r;
}

Wide over(Wide a, Wide b) {
  Wide r = wide(a.m / b.m);
  r.e += a.e - b.e;
  return r;
}

// Beyond the largest finite double.
bool past_range(Wide a) { return a.m != 0.0 && a.e > 1024; }

double narrow(Wide a) { return std::ldexp(a.m, static_cast<int>(std::clamp(a.e, -4096L, 4096L))); }

// Closed-form mean 2*Lx*(cosh a - 1) / (pi^2 * Ly * sinh a), a = pi*Ly/Lx.
//
// Just below the sinh overflow, or for a plate near the largest doubles, the
// denominator ((sinh(a)*pi)*pi)*Ly can pass the double range while the mean
// itself is small. The steps are followed with wide exponents first; where none
// of them leaves the double range they are the plain double steps, bit for bit,
// and those run (with the process's traps, as before). Otherwise the wide result
// is the mean, rounded once to a double at the end.
double mean_closed_form() {
  const double a = (pi / Lx) * Ly;
  const double sh = rt::m_sinh(a);
  const double cm1 = rt::m_cosh(a) - 1.0;

  const Wide s1 = times(wide(sh), wide(pi));
  const Wide s2 = times(s1, wide(pi));
  const Wide s = times(s2, wide(Ly));
  const Wide q = over(wide(cm1), s);
  const Wide t = times(q, wide(Lx));
  const Wide mean = times(t, wide(2.0));
  for (const Wide& step : {s1, s2, s, q, t, mean}) {
    if (past_range(step)) return narrow(mean);
  }
  const double sd = ((sh * pi) * pi) * Ly;
  const double qd = cm1 / sd;
  return (qd * Lx) * 2.0;
}

}  // namespace

void post_processing() {
  analytic_solution();
  Tm_n = mean_temperature(Nx, Ny, T.data());
  dados::write_report();
}

// Every node goes through the formula, edges included: the top row may then
// differ from the boundary values in T in the last digits, which the report shows.
// The sine depends on the column only and the hyperbolic sine on the row only, so
// each is evaluated once (the same doubles as at every node, a node costs a
// product and a quotient); den comes first in every row, as the overflow of a
// tall plate must.
void analytic_solution() {
  std::vector<double> sine(static_cast<std::size_t>(Nx) + 1);
  for (int j = 1; j <= Ny; ++j) {
    const double den = rt::m_sinh((pi / Lx) * Ly);
    const double sh = rt::m_sinh((y[j] / Lx) * pi);
    for (int i = 1; i <= Nx; ++i) {
      if (j == 1) sine[i] = rt::m_sin((x[i] / Lx) * pi);
      Ta[i + (j - 1) * Nx] = (sine[i] * sh) / den;
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
