// A thin drawing layer over cairo: text, scales and their ticks, axes, colour maps
// and the colour bar. Coordinates are device units (pixels in PNG, points in SVG),
// y downwards; texts are UTF-8.
#pragma once

#include <cairo.h>

#include <functional>
#include <string>
#include <vector>

namespace graficos {

enum class Formato { svg, png };

// Draws a figure of `largura` x `altura` with `desenhar` and writes it to
// `caminho` in the format asked for. False with `erro` set on any failure.
bool gravar_figura(Formato formato, const std::string& caminho, int largura, int altura,
                   const std::function<void(cairo_t*)>& desenhar, std::string& erro);

struct Cor {
  double r, g, b;
};

// Sequential map for temperatures (dark blue through green to yellow), t in [0, 1].
Cor mapa_sequencial(double t);
// Diverging map for signed errors: blue below 0.5, white at 0.5, red above.
Cor mapa_divergente(double t);
// Nodes whose value is not a finite number.
constexpr Cor cor_indefinida{0.6, 0.6, 0.6};

// Anchor of a text relative to its reference point: 0 left/top, 0.5 centre, 1 right/bottom.
void texto(cairo_t* cr, double x, double y, const std::string& s, double tamanho, double ah = 0, double av = 0,
           bool negrito = false, double angulo = 0);

// A value range mapped to a device interval, linear or logarithmic (base 10).
struct Escala {
  double v0, v1;  // values at the two ends; for a log scale, both > 0
  double p0, p1;  // device coordinates of those ends
  bool log = false;
  double operator()(double v) const;
};

struct Marca {
  double valor;
  std::string rotulo;  // empty for a minor tick
  std::string expoente;  // for "10" + superscript labels on log scales
};

// "Nice" ticks (1, 2, 5 times a power of ten) covering [a, b], about `alvo` of them.
std::vector<Marca> marcas_lineares(double a, double b, int alvo);
// Ticks at powers of ten within [a, b] (a > 0); when there are more than `maximo`
// decades only every k-th is labelled, and minor ticks (2..9) only for few decades.
std::vector<Marca> marcas_log(double a, double b, int maximo);

struct Caixa {
  double x0, y0, x1, y1;  // device corners, x0 < x1, y0 < y1
  double largura() const { return x1 - x0; }
  double altura() const { return y1 - y0; }
};

// Frame, ticks, tick labels and the axis titles of a plot box.
void eixos(cairo_t* cr, const Caixa& c, const Escala& ex, const std::vector<Marca>& mx, const Escala& ey,
           const std::vector<Marca>& my, const std::string& titulo_x, const std::string& titulo_y);

// A vertical colour bar in `c` for values v0 (bottom) .. v1 (top), with ticks and
// the title beside it.
void barra_de_cores(cairo_t* cr, const Caixa& c, double v0, double v1, Cor (*mapa)(double),
                    const std::string& titulo);

}  // namespace graficos
