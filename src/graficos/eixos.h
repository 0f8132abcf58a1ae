// Scales, ticks, axes and colour bars.
//
// Every axis labels all its ticks in one format: fixed decimals ("0.0", "0.2",
// ... "1.0"), or, for values below 1e-3 in step or of 1e6 and more, the value
// over a common power of ten with that power shown once at the axis's end
// ("-4", "-2", "0", "2", "4" and "×10⁻⁴"). A log axis labels its decades 10ⁿ.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

#include "desenho.h"

namespace graficos {

// A value range mapped to a device interval, linear or logarithmic (base 10).
struct Escala {
  double v0, v1;  // values at the two ends; for a log scale, both > 0
  double p0, p1;  // device coordinates of those ends
  bool log = false;
  double operator()(double v) const;
};

struct Marca {
  double valor;
  std::string rotulo;    // empty for a minor tick
  std::string expoente;  // for "10" + superscript labels on log scales
};

struct Marcas {
  std::vector<Marca> lista;
  int fator = 0;  // linear labels show value / 10^fator; 0: the value itself
  int casas = 0;  // decimals of every linear label
  // `v` in this axis's format, with `casas_a_mais` more decimals.
  std::string rotular(double v, int casas_a_mais = 0) const;
  // The decimals beyond `casas` that show `v` with three significant digits.
  int casas_para_tres_digitos(double v) const;
};

// "Nice" ticks (1, 2, 5 times a power of ten) covering [a, b], about `alvo` of them.
Marcas marcas_lineares(double a, double b, int alvo);
// Ticks at powers of ten within [a, b] (a > 0); when there are more than `maximo`
// decades only every k-th is labelled, and minor ticks (2..9) only for few decades.
Marcas marcas_log(double a, double b, int maximo);
// Whole decades around [lo, hi] (both > 0) with room to spare, so that no value
// (a tolerance, say) sits on the frame.
void faixa_log(double lo, double hi, double& v0, double& v1);

struct Caixa {
  double x0, y0, x1, y1;  // device corners, x0 < x1, y0 < y1
  double largura() const { return x1 - x0; }
  double altura() const { return y1 - y0; }
};

// Frame, ticks, tick labels and the axis titles of a plot box.
void eixos(cairo_t* cr, const Caixa& c, const Escala& ex, const Marcas& mx, const Escala& ey, const Marcas& my,
           const std::string& titulo_x, const std::string& titulo_y);
// A second value axis on the right of the box, ticks and title in `cor`.
void eixo_direito(cairo_t* cr, const Caixa& c, const Escala& ey, const Marcas& my, const std::string& titulo, Cor cor);

// A vertical colour bar in `c` for values v0 (bottom) .. v1 (top): ticks, both
// ends labelled with their values ("mín", "máx"), the title beside it, and a
// line across the bar at each of `niveis` (the isotherms drawn on the map).
void barra_de_cores(cairo_t* cr, const Caixa& c, double v0, double v1, Cor (*mapa)(double), const std::string& titulo,
                    const std::vector<double>& niveis = {});

}  // namespace graficos
