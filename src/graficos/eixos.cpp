#include "eixos.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

namespace graficos {

namespace {

constexpr double tamanho_rotulo = 12;

double passo_bonito(double a, double b, int alvo) {
  double bruto = (b - a) / std::max(alvo, 1);
  double p = std::pow(10.0, std::floor(std::log10(bruto)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * p >= bruto) return m * p;
  return 10 * p;
}

int decimais(double passo) { return std::max(0, -static_cast<int>(std::floor(std::log10(passo) + 1e-9))); }

// A tick label: plain text, or "10" with a raised exponent.
void rotulo(cairo_t* cr, const Marca& m, double x, double y, double tamanho, double ah, double av, Cor cor = preto) {
  if (m.expoente.empty()) {
    texto(cr, x, y, m.rotulo, tamanho, ah, av, false, 0, cor);
  } else {
    texto_potencia(cr, x, y, m.rotulo, m.expoente, tamanho, ah, av);
  }
}

double largura_rotulo(cairo_t* cr, const Marca& m, double tamanho) {
  return m.expoente.empty() ? largura_texto(cr, m.rotulo, tamanho)
                            : largura_potencia(cr, m.rotulo, m.expoente, tamanho);
}

// "×10ⁿ" for an axis whose labels are scaled.
void fator(cairo_t* cr, const Marcas& m, double x, double y, double ah, double av) {
  if (m.fator != 0) texto_potencia(cr, x, y, "×10", std::to_string(m.fator), tamanho_rotulo, ah, av);
}

}  // namespace

double Escala::operator()(double v) const {
  double t = log ? (std::log10(v) - std::log10(v0)) / (std::log10(v1) - std::log10(v0)) : (v - v0) / (v1 - v0);
  return p0 + t * (p1 - p0);
}

std::string Marcas::rotular(double v, int casas_a_mais) const {
  double w = fator == 0 ? v : v / std::pow(10.0, fator);
  int c = casas + std::max(casas_a_mais, 0);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.*f", c, w);
  std::string s = buf;
  // "-0.0" is zero.
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

int Marcas::casas_para_tres_digitos(double v) const {
  double w = std::fabs(fator == 0 ? v : v / std::pow(10.0, fator));
  if (!(w > 0) || !std::isfinite(w)) return 0;
  int inteiros = static_cast<int>(std::floor(std::log10(w))) + 1;
  return std::max(0, 3 - inteiros - casas);
}

Marcas marcas_lineares(double a, double b, int alvo) {
  Marcas out;
  if (!(b > a) || !std::isfinite(a) || !std::isfinite(b)) return out;
  double passo = passo_bonito(a, b, alvo);
  double maior = std::max(std::fabs(a), std::fabs(b));
  if (passo < 1e-3 || maior >= 1e6) {
    out.fator = static_cast<int>(std::floor(std::log10(maior)));
    out.casas = decimais(passo / std::pow(10.0, out.fator));
  } else {
    out.casas = decimais(passo);
  }
  double primeiro = std::ceil(a / passo - 1e-9);
  for (double k = primeiro; k * passo <= b + passo * 1e-9 && out.lista.size() < 100; k += 1) {
    double v = k * passo;
    out.lista.push_back({v, out.rotular(v), {}});
  }
  return out;
}

Marcas marcas_log(double a, double b, int maximo) {
  Marcas out;
  if (!(a > 0) || !(b > a) || !std::isfinite(b)) return out;
  int d0 = static_cast<int>(std::ceil(std::log10(a) - 1e-9));
  int d1 = static_cast<int>(std::floor(std::log10(b) + 1e-9));
  int decadas = d1 - d0 + 1;
  if (decadas < 2) {
    // Less than a decade labelled: 1, 2 and 5 times a power of ten, all in one
    // fixed format, or all as m×10ⁿ for very small or large values.
    std::vector<double> v;
    for (int d = d0 - 1; d <= d1; ++d)
      for (int m = 1; m <= 9; ++m)
        if (double x = m * std::pow(10.0, d); x >= a * (1 - 1e-9) && x <= b * (1 + 1e-9)) v.push_back(x);
    if (v.empty()) return out;
    const bool fixo = v.front() >= 1e-3 && v.back() < 1e6;
    out.casas = fixo ? decimais(v.front()) : 0;
    for (double x : v) {
      int d = static_cast<int>(std::floor(std::log10(x) + 1e-9));
      int m = static_cast<int>(std::lround(x / std::pow(10.0, d)));
      if (m != 1 && m != 2 && m != 5) {
        out.lista.push_back({x, {}, {}});
      } else if (fixo) {
        out.lista.push_back({x, out.rotular(x), {}});
      } else {
        out.lista.push_back({x, std::to_string(m) + "×10", std::to_string(d)});
      }
    }
    return out;
  }
  int cada = std::max(1, (decadas + maximo - 1) / std::max(maximo, 1));
  for (int d = d0 - 1; d <= d1; ++d) {
    if (d >= d0 && (d - d0) % cada == 0)
      out.lista.push_back({std::pow(10.0, d), "10", std::to_string(d)});
    else if (d >= d0)
      out.lista.push_back({std::pow(10.0, d), {}, {}});
    if (decadas <= 6)
      for (int m = 2; m <= 9; ++m) {
        double v = m * std::pow(10.0, d);
        if (v >= a && v <= b) out.lista.push_back({v, {}, {}});
      }
  }
  return out;
}

void faixa_log(double lo, double hi, double& v0, double& v1) {
  if (!(lo > 0) || !(hi >= lo) || !std::isfinite(hi)) lo = 0.1, hi = 10;
  v0 = std::pow(10.0, std::floor(std::log10(lo) - 0.2));
  v1 = std::pow(10.0, std::ceil(std::log10(hi) + 0.2));
  if (!(v0 > 0)) v0 = std::numeric_limits<double>::denorm_min();
  if (!std::isfinite(v1)) v1 = std::numeric_limits<double>::max();
}

void eixos(cairo_t* cr, const Caixa& c, const Escala& ex, const Marcas& mx, const Escala& ey, const Marcas& my,
           const std::string& titulo_x, const std::string& titulo_y) {
  const double marca = 6;
  cairo_save(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, c.x0, c.y0, c.largura(), c.altura());
  cairo_stroke(cr);
  double mais_larga = 0;
  for (const Marca& m : mx.lista) {
    double x = ex(m.valor);
    if (x < c.x0 - 0.5 || x > c.x1 + 0.5) continue;
    cairo_move_to(cr, x, c.y1);
    cairo_line_to(cr, x, c.y1 + (m.rotulo.empty() ? marca / 2 : marca));
    cairo_stroke(cr);
    if (!m.rotulo.empty()) rotulo(cr, m, x, c.y1 + marca + 3, tamanho_rotulo, 0.5, 0);
  }
  for (const Marca& m : my.lista) {
    double y = ey(m.valor);
    if (y < c.y0 - 0.5 || y > c.y1 + 0.5) continue;
    cairo_move_to(cr, c.x0 - (m.rotulo.empty() ? marca / 2 : marca), y);
    cairo_line_to(cr, c.x0, y);
    cairo_stroke(cr);
    if (!m.rotulo.empty()) {
      rotulo(cr, m, c.x0 - marca - 4, y, tamanho_rotulo, 1, 0.5);
      mais_larga = std::max(mais_larga, largura_rotulo(cr, m, tamanho_rotulo));
    }
  }
  cairo_restore(cr);
  fator(cr, mx, c.x1, c.y1 + marca + 20, 1, 0);
  fator(cr, my, c.x0, c.y0 - 6, 0, 1);
  texto(cr, (c.x0 + c.x1) / 2, c.y1 + marca + tamanho_rotulo + 12, titulo_x, 13, 0.5, 0);
  texto(cr, c.x0 - marca - 12 - mais_larga, (c.y0 + c.y1) / 2, titulo_y, 13, 0.5, 1, false, -std::numbers::pi / 2);
}

void eixo_direito(cairo_t* cr, const Caixa& c, const Escala& ey, const Marcas& my, const std::string& titulo, Cor cor) {
  const double marca = 6;
  double mais_larga = 0;
  cairo_save(cr);
  cairo_set_source_rgb(cr, cor.r, cor.g, cor.b);
  cairo_set_line_width(cr, 1);
  for (const Marca& m : my.lista) {
    double y = ey(m.valor);
    if (y < c.y0 - 0.5 || y > c.y1 + 0.5) continue;
    cairo_move_to(cr, c.x1, y);
    cairo_line_to(cr, c.x1 + marca, y);
    cairo_stroke(cr);
    if (!m.rotulo.empty()) {
      rotulo(cr, m, c.x1 + marca + 4, y, tamanho_rotulo, 0, 0.5, cor);
      mais_larga = std::max(mais_larga, largura_rotulo(cr, m, tamanho_rotulo));
    }
  }
  cairo_restore(cr);
  fator(cr, my, c.x1, c.y0 - 6, 1, 1);
  texto(cr, c.x1 + marca + 12 + mais_larga, (c.y0 + c.y1) / 2, titulo, 13, 0.5, 0, false, -std::numbers::pi / 2, cor);
}

void barra_de_cores(cairo_t* cr, const Caixa& c, double v0, double v1, Cor (*mapa)(double), const std::string& titulo,
                    const std::vector<double>& niveis) {
  const int faixas = 256;
  for (int k = 0; k < faixas; ++k) {
    Cor cor = mapa((k + 0.5) / faixas);
    double y_baixo = c.y1 - c.altura() * k / faixas;
    double y_cima = c.y1 - c.altura() * (k + 1) / faixas;
    cairo_set_source_rgb(cr, cor.r, cor.g, cor.b);
    // Overlap by a fraction of a unit so no seams show between bands.
    cairo_rectangle(cr, c.x0, y_cima - 0.25, c.largura(), y_baixo - y_cima + 0.5);
    cairo_fill(cr);
  }
  Escala e{v0, v1, c.y1, c.y0};
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1);
  for (double n : niveis) {
    cairo_move_to(cr, c.x0, e(n));
    cairo_line_to(cr, c.x1, e(n));
  }
  cairo_stroke(cr);
  cairo_rectangle(cr, c.x0, c.y0, c.largura(), c.altura());
  cairo_stroke(cr);

  Marcas m = marcas_lineares(v0, v1, 6);
  double mais_larga = 0;
  auto marca = [&](double y, const std::string& s, bool negrito) {
    cairo_move_to(cr, c.x1, y);
    cairo_line_to(cr, c.x1 + 5, y);
    cairo_stroke(cr);
    texto(cr, c.x1 + 8, y, s, 11, 0, 0.5, negrito);
    mais_larga = std::max(mais_larga, largura_texto(cr, s, 11, negrito));
  };
  // The ends carry the extreme values; ticks too close to them give way.
  const double folga = 14;
  for (const Marca& t : m.lista) {
    double y = e(t.valor);
    if (y > c.y0 + folga && y < c.y1 - folga) marca(y, t.rotulo, false);
  }
  int a_mais = std::max(m.casas_para_tres_digitos(v0), m.casas_para_tres_digitos(v1));
  marca(c.y1, "mín " + m.rotular(v0, a_mais), true);
  marca(c.y0, "máx " + m.rotular(v1, a_mais), true);
  fator(cr, m, c.x0, c.y0 - 10, 0, 1);
  texto(cr, c.x1 + 16 + mais_larga, (c.y0 + c.y1) / 2, titulo, 13, 0.5, 0, false, -std::numbers::pi / 2);
}

}  // namespace graficos
