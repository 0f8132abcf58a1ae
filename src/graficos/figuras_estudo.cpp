#include "figuras_estudo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "desenho.h"
#include "eixos.h"
#include "texto.h"

namespace graficos {

namespace {

std::string malha(const Malha& m) { return std::to_string(m.rel->Nx) + " × " + std::to_string(m.rel->Ny); }

std::string placa(const Malha& m) {
  return "placa " + formatar("%.4g", m.rel->Lx) + " m × " + formatar("%.4g", m.rel->Ly) + " m";
}

// "não convergiu: 41 × 41 (r3.txt), ..." or "".
std::string aviso(const std::vector<Malha>& malhas) {
  std::string s;
  for (const Malha& m : malhas)
    if (!m.resumo.convergiu) s += (s.empty() ? "não convergiu: " : ", ") + malha(m) + " (" + m.nome + ")";
  return s;
}

// A log range around [lo, hi]: whole decades when the values span one or more,
// otherwise a little room on each side.
void faixa_ajustada(double lo, double hi, double& v0, double& v1) {
  if (lo > 0 && hi >= lo && std::isfinite(hi) && hi / lo < 10) {
    v0 = lo / 1.4, v1 = hi * 1.4;
  } else {
    faixa_log(lo, hi, v0, v1);
  }
}

bool positivo(double v) { return v > 0 && std::isfinite(v); }

}  // namespace

Tamanho tamanho_estudo() { return {1000, 560}; }

void desenhar_estudo(cairo_t* cr, const std::vector<Malha>& malhas) {
  const Tamanho t = tamanho_estudo();
  const Caixa c{95, 80, 660, t.altura - 65.0};
  std::string ordens;
  for (const Malha& m : malhas)
    if (std::isfinite(m.ordem)) ordens += (ordens.empty() ? "" : ", ") + formatar("%.3f", m.ordem);
  cabecalho(cr, t.largura, "Estudo de malha: erro contra espaçamento",
            malhas.front().rel->titulo + " — " + placa(malhas.front()) + ", " + std::to_string(malhas.size()) +
                " malhas" + (ordens.empty() ? "" : "; ordem observada (erro máx.): " + ordens),
            aviso(malhas));

  struct Serie {
    const char* rotulo;
    double (*valor)(const Malha&);
    Marcador marcador;
  };
  const Serie series[] = {
      {"máx |Ta − T| nos nós listados", [](const Malha& m) { return m.resumo.erro_max; }, Marcador::circulo},
      {"RMS de Ta − T nos nós listados", [](const Malha& m) { return m.resumo.erro_rms; }, Marcador::quadrado},
      {"|Tm_a − Tm_n| (temperatura média)", [](const Malha& m) { return m.erro_Tm; }, Marcador::triangulo}};
  double hlo = std::numeric_limits<double>::infinity(), hhi = -hlo, elo = hlo, ehi = -hlo;
  for (const Malha& m : malhas) {
    if (positivo(m.h)) hlo = std::min(hlo, m.h), hhi = std::max(hhi, m.h);
    for (const Serie& s : series)
      if (double e = s.valor(m); positivo(e)) elo = std::min(elo, e), ehi = std::max(ehi, e);
  }
  // The guide: slope 2, below the finest grid's smallest error, so that curves of
  // second order run parallel to it instead of hiding it.
  const Malha& fina = malhas.back();
  double e_fina = std::numeric_limits<double>::infinity();
  for (const Serie& s : series)
    if (double e = s.valor(fina); positivo(e)) e_fina = std::min(e_fina, e);
  const bool guia = positivo(e_fina) && positivo(fina.h) && hhi > hlo;
  auto guia_em = [&](double h) { return e_fina / 2 * (h / fina.h) * (h / fina.h); };
  if (guia) elo = std::min(elo, guia_em(hlo)), ehi = std::max(ehi, guia_em(hhi));
  double x0, x1, y0, y1;
  faixa_ajustada(hlo, hhi, x0, x1);
  faixa_log(elo, ehi, y0, y1);
  Escala ex{x0, x1, c.x0, c.x1, true}, ey{y0, y1, c.y1, c.y0, true};
  eixos(cr, c, ex, marcas_log(x0, x1, 10), ey, marcas_log(y0, y1, 12), "h = máx(dx, dy) [m]", "erro [-]");

  cairo_save(cr);
  cairo_rectangle(cr, c.x0, c.y0, c.largura(), c.altura());
  cairo_clip(cr);
  if (guia) {
    cairo_set_source_rgb(cr, 0.45, 0.45, 0.45);
    cairo_set_line_width(cr, 1.5);
    tracejado(cr, true);
    cairo_move_to(cr, ex(hlo), ey(guia_em(hlo)));
    cairo_line_to(cr, ex(hhi), ey(guia_em(hhi)));
    cairo_stroke(cr);
    tracejado(cr, false);
    double hm = std::sqrt(hlo * hhi);
    texto(cr, ex(hm) + 4, ey(guia_em(hm)) + 4, "inclinação 2", 11, 0, 0, false, 0, {0.45, 0.45, 0.45});
  }
  bool algum_vazado = false;
  for (std::size_t k = 0; k < std::size(series); ++k) {
    const Serie& s = series[k];
    Cor cor = cor_da_serie(static_cast<int>(k));
    cairo_set_source_rgb(cr, cor.r, cor.g, cor.b);
    cairo_set_line_width(cr, 1.5);
    bool aberto = false;
    for (const Malha& m : malhas) {
      double e = s.valor(m);
      if (!positivo(e) || !positivo(m.h)) {
        aberto = false;
        continue;
      }
      aberto ? cairo_line_to(cr, ex(m.h), ey(e)) : cairo_move_to(cr, ex(m.h), ey(e));
      aberto = true;
    }
    cairo_stroke(cr);
    for (const Malha& m : malhas) {
      double e = s.valor(m);
      if (!positivo(e) || !positivo(m.h)) continue;
      marcador(cr, ex(m.h), ey(e), s.marcador, 4.5, !m.resumo.convergiu);
      algum_vazado = algum_vazado || !m.resumo.convergiu;
    }
  }
  cairo_restore(cr);

  std::vector<ItemLegenda> itens;
  for (std::size_t k = 0; k < std::size(series); ++k)
    itens.push_back({series[k].rotulo, cor_da_serie(static_cast<int>(k)), false, series[k].marcador});
  if (guia) itens.push_back({"inclinação 2 (segunda ordem)", {0.45, 0.45, 0.45}, true});
  if (algum_vazado) itens.push_back({"marcador vazado: não convergiu", preto, false, Marcador::circulo, false});
  double h = legenda(cr, c.x1 + 15, c.y0, t.largura - c.x1 - 25, itens);
  double y = c.y0 + h + 18;
  texto(cr, c.x1 + 15, y, "malha, h, ordem observada:", 11, 0, 0, true);
  for (const Malha& m : malhas) {
    y += 16;
    texto(
        cr, c.x1 + 15, y,
        malha(m) + ", h = " + formatar("%.4g", m.h) + (std::isfinite(m.ordem) ? ", " + formatar("%.3f", m.ordem) : ""),
        11);
  }
}

void desenhar_historicos(cairo_t* cr, const std::vector<Malha>& malhas) {
  const Tamanho t = tamanho_estudo();
  const Caixa c{95, 80, 660, t.altura - 65.0};
  cabecalho(cr, t.largura, "Estudo de malha: históricos de convergência",
            malhas.front().rel->titulo + " — " + placa(malhas.front()) + ", L1(it)/L1(0) de cada malha", aviso(malhas));
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  std::int32_t it = 1;
  for (const Malha& m : malhas) {
    it = std::max(it, m.rel->it);
    for (const LinhaHistorico& h : m.rel->historico)
      if (positivo(h.L1)) lo = std::min(lo, h.L1), hi = std::max(hi, h.L1);
    if (positivo(m.rel->tol)) lo = std::min(lo, m.rel->tol), hi = std::max(hi, m.rel->tol);
  }
  double y0, y1;
  faixa_log(lo, hi, y0, y1);
  Escala ex{0, static_cast<double>(it), c.x0, c.x1}, ey{y0, y1, c.y1, c.y0, true};
  Marcas mx = marcas_lineares(0, it, 8);
  std::erase_if(mx.lista, [](const Marca& m) { return m.valor != std::floor(m.valor); });
  eixos(cr, c, ex, mx, ey, marcas_log(y0, y1, 12), "iteração", "L1(it)/L1(0)");

  bool uma_tol = true;
  for (const Malha& m : malhas) uma_tol = uma_tol && m.rel->tol == malhas.front().rel->tol;
  std::vector<ItemLegenda> itens;
  cairo_save(cr);
  cairo_rectangle(cr, c.x0, c.y0, c.largura(), c.altura());
  cairo_clip(cr);
  for (std::size_t k = 0; k < malhas.size(); ++k) {
    const Malha& m = malhas[k];
    Cor cor = cor_da_serie(static_cast<int>(k));
    if (positivo(m.rel->tol) && (!uma_tol || k == 0)) {
      Cor ct = uma_tol ? Cor{0.45, 0.45, 0.45} : cor;
      cairo_set_source_rgb(cr, ct.r, ct.g, ct.b);
      cairo_set_line_width(cr, 1);
      tracejado(cr, true);
      cairo_move_to(cr, c.x0, ey(m.rel->tol));
      cairo_line_to(cr, c.x1, ey(m.rel->tol));
      cairo_stroke(cr);
      tracejado(cr, false);
    }
    cairo_set_source_rgb(cr, cor.r, cor.g, cor.b);
    cairo_set_line_width(cr, 2);
    bool aberto = false;
    for (const LinhaHistorico& h : m.rel->historico) {
      if (!positivo(h.L1)) {
        aberto = false;
        continue;
      }
      aberto ? cairo_line_to(cr, ex(h.k), ey(h.L1)) : cairo_move_to(cr, ex(h.k), ey(h.L1));
      aberto = true;
    }
    cairo_stroke(cr);
    itens.push_back(
        {malha(m) + ", it = " + std::to_string(m.rel->it) + (m.resumo.convergiu ? "" : " (não convergiu)"), cor});
  }
  cairo_restore(cr);
  if (uma_tol && positivo(malhas.front().rel->tol))
    itens.push_back({"tol = " + formatar("%.3E", malhas.front().rel->tol), {0.45, 0.45, 0.45}, true});
  else if (!uma_tol)
    itens.push_back({"tol de cada malha (tracejada)", preto, true});
  legenda(cr, c.x1 + 15, c.y0, t.largura - c.x1 - 25, itens);
}

}  // namespace graficos
