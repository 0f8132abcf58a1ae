#include "perfis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "desenho.h"
#include "eixos.h"
#include "texto.h"

namespace graficos {

namespace {

constexpr Cor cor_numerica{0.12, 0.47, 0.71}, cor_analitica{0.72, 0.72, 0.72}, cor_erro{0.84, 0.15, 0.16};

struct Ponto {
  double s, numerica, analitica, erro;  // s: the coordinate along the line
};

// [lo, hi] of the finite values, widened a little and never empty.
void faixa(const std::vector<double>& v, bool com_zero, double& lo, double& hi) {
  lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (double x : v)
    if (std::isfinite(x)) lo = std::min(lo, x), hi = std::max(hi, x);
  if (com_zero) lo = std::min(lo, 0.0), hi = std::max(hi, 0.0);
  if (!(hi >= lo)) lo = 0, hi = 1;
  if (hi == lo) {
    double f = lo != 0 ? std::fabs(lo) * 0.5 : 1;
    lo -= f, hi += f;
  }
  double m = (hi - lo) * 0.06;
  lo -= m, hi += m;
}

void linha(cairo_t* cr, const std::vector<Ponto>& pts, double Ponto::*membro, const Escala& ex, const Escala& ey,
           Cor cor, double largura, Marcador m) {
  cairo_set_source_rgb(cr, cor.r, cor.g, cor.b);
  cairo_set_line_width(cr, largura);
  bool aberto = false;
  for (const Ponto& p : pts) {
    double v = p.*membro;
    if (!std::isfinite(v)) {
      aberto = false;
      continue;
    }
    aberto ? cairo_line_to(cr, ex(p.s), ey(v)) : cairo_move_to(cr, ex(p.s), ey(v));
    aberto = true;
  }
  cairo_stroke(cr);
  if (pts.size() > 60) return;
  for (const Ponto& p : pts)
    if (std::isfinite(p.*membro)) marcador(cr, ex(p.s), ey(p.*membro), m, 3);
}

void painel(cairo_t* cr, const Caixa& c, const std::vector<Ponto>& pts, const std::string& titulo,
            const std::string& eixo) {
  texto(cr, (c.x0 + c.x1) / 2, c.y0 - 36, titulo, 12, 0.5, 0, true);
  std::vector<double> T, E;
  for (const Ponto& p : pts) T.push_back(p.numerica), T.push_back(p.analitica), E.push_back(p.erro);
  double t0, t1, e0, e1;
  faixa(T, true, t0, t1);
  faixa(E, true, e0, e1);
  const double s0 = pts.front().s, s1 = pts.back().s;
  Escala ex{s0, s1, c.x0, c.x1}, et{t0, t1, c.y1, c.y0}, ee{e0, e1, c.y1, c.y0};
  eixos(cr, c, ex, marcas_lineares(std::min(s0, s1), std::max(s0, s1), 5), et, marcas_lineares(t0, t1, 6), eixo,
        "T [-]");
  eixo_direito(cr, c, ee, marcas_lineares(e0, e1, 6), "erro, Ta − T [-]", cor_erro);
  cairo_save(cr);
  cairo_rectangle(cr, c.x0, c.y0, c.largura(), c.altura());
  cairo_clip(cr);
  // Zero error, for the eye.
  cairo_set_source_rgba(cr, cor_erro.r, cor_erro.g, cor_erro.b, 0.35);
  cairo_set_line_width(cr, 1);
  cairo_move_to(cr, c.x0, ee(0));
  cairo_line_to(cr, c.x1, ee(0));
  cairo_stroke(cr);
  // The exact curve broad and pale beneath the numerical one, which it mostly hides otherwise.
  linha(cr, pts, &Ponto::analitica, ex, et, cor_analitica, 6, Marcador::nenhum);
  linha(cr, pts, &Ponto::erro, ex, ee, cor_erro, 2, Marcador::quadrado);
  linha(cr, pts, &Ponto::numerica, ex, et, cor_numerica, 1.5, Marcador::circulo);
  cairo_restore(cr);
}

}  // namespace

std::size_t indice_mais_proximo(const Relatorio& rel, std::size_t inicio, std::size_t passo, std::size_t n,
                                double No::*coordenada, double alvo) {
  std::size_t melhor = 0;
  double d = std::numeric_limits<double>::infinity();
  for (std::size_t k = 0; k < n; ++k) {
    double dk = std::fabs(rel.nos[inicio + k * passo].*coordenada - alvo);
    if (dk < d) d = dk, melhor = k;
  }
  return melhor;
}

Tamanho tamanho_perfis() { return {1060, 600}; }

void desenhar_perfis(cairo_t* cr, const Relatorio& rel, const Resumo& r) {
  const Tamanho t = tamanho_perfis();
  cabecalho(cr, t.largura, "Perfis de temperatura: numérica e analítica", subtitulo(rel), aviso_convergencia(r));
  const std::size_t nx = static_cast<std::size_t>(rel.Nx), ny = static_cast<std::size_t>(rel.Ny);
  const std::size_t ic = indice_mais_proximo(rel, 0, 1, nx, &No::x, rel.Lx / 2);
  const std::size_t jc = indice_mais_proximo(rel, 0, nx, ny, &No::y, rel.Ly / 2);
  std::vector<Ponto> vertical, horizontal;
  for (std::size_t j = 0; j < ny; ++j) {
    const No& n = rel.nos[ic + j * nx];
    vertical.push_back({n.y, n.numerica, n.analitica, n.erro});
  }
  for (std::size_t i = 0; i < nx; ++i) {
    const No& n = rel.nos[i + jc * nx];
    horizontal.push_back({n.x, n.numerica, n.analitica, n.erro});
  }
  // Below the warning line, which the panel titles would otherwise touch.
  const Caixa a{85, 112, 440, t.altura - 150.0}, b{605, 112, 960, t.altura - 150.0};
  painel(cr, a, vertical, "ao longo de x = " + formatar("%.4g m", rel.nos[ic].x) + " (linha vertical central)",
         "y [m]");
  painel(cr, b, horizontal, "ao longo de y = " + formatar("%.4g m", rel.nos[jc * nx].y) + " (linha horizontal central)",
         "x [m]");
  const bool m = vertical.size() <= 60 || horizontal.size() <= 60;
  legenda(cr, a.x0, t.altura - 88.0, 330,
          {{"T numérica", cor_numerica, false, m ? Marcador::circulo : Marcador::nenhum},
           {"T analítica (exata)", cor_analitica},
           {"erro, Ta − T (eixo da direita)", cor_erro, false, m ? Marcador::quadrado : Marcador::nenhum}});
}

}  // namespace graficos
