#include "figuras.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <numbers>
#include <vector>

#include "desenho.h"
#include "eixos.h"
#include "isotermas.h"
#include "texto.h"

namespace graficos {

namespace {

constexpr Cor cor_L1{0.12, 0.47, 0.71}, cor_L2{1.0, 0.50, 0.05}, cor_Linf{0.17, 0.63, 0.17};

// One series as a polyline, broken wherever a value cannot sit on a log axis.
void serie(cairo_t* cr, const Relatorio& rel, double LinhaHistorico::*membro, const Escala& ex, const Escala& ey,
           Cor cor, bool marcadores) {
  cairo_set_source_rgb(cr, cor.r, cor.g, cor.b);
  cairo_set_line_width(cr, 2);
  bool aberto = false;
  for (const LinhaHistorico& h : rel.historico) {
    double v = h.*membro;
    if (!(v > 0) || !std::isfinite(v)) {
      aberto = false;
      continue;
    }
    double px = ex(h.k), py = ey(v);
    aberto ? cairo_line_to(cr, px, py) : cairo_move_to(cr, px, py);
    aberto = true;
  }
  cairo_stroke(cr);
  if (!marcadores) return;
  for (const LinhaHistorico& h : rel.historico) {
    double v = h.*membro;
    if (!(v > 0) || !std::isfinite(v)) continue;
    cairo_arc(cr, ex(h.k), ey(v), 3, 0, 2 * std::numbers::pi);
    cairo_fill(cr);
  }
}

struct Geometria {
  Caixa placa, barra;
  Tamanho tamanho;
};

constexpr double lado_max = 520;

Geometria geometria(const Relatorio& rel) {
  const No& a = rel.nos.front();
  const No& bx = rel.nos[static_cast<std::size_t>(rel.Nx) - 1];
  const No& by = rel.nos[static_cast<std::size_t>(rel.Ny - 1) * static_cast<std::size_t>(rel.Nx)];
  double wx = std::fabs(bx.x - a.x), wy = std::fabs(by.y - a.y);
  double s = std::min(lado_max / wx, lado_max / wy);
  double pw = std::max(wx * s, 1.0), ph = std::max(wy * s, 1.0);
  const double esquerda = 100, topo = 80, baixo = 70;
  Geometria g;
  g.placa = {esquerda, topo, esquerda + pw, topo + ph};
  double hb = std::max(ph, 240.0);
  g.barra = {g.placa.x1 + 30, topo, g.placa.x1 + 52, topo + hb};
  g.tamanho = {static_cast<int>(std::ceil(std::max(g.barra.x1 + 130, 620.0))),
               static_cast<int>(std::ceil(topo + hb + baixo))};
  return g;
}

// The colour range: both temperature fields share theirs; the error's is symmetric about 0.
void faixa_de_cores(const Relatorio& rel, Campo campo, double& v0, double& v1) {
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (const No& n : rel.nos) {
    if (campo == Campo::erro) {
      if (std::isfinite(n.erro)) hi = std::max(hi, std::fabs(n.erro));
      continue;
    }
    for (double v : {n.numerica, n.analitica})
      if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
  }
  if (campo == Campo::erro) {
    if (!(hi > 0)) hi = 1;
    v0 = -hi, v1 = hi;
    return;
  }
  if (!(hi >= lo)) lo = 0, hi = 1;  // no finite value at all
  if (hi == lo) {
    double folga = lo != 0 ? std::fabs(lo) * 0.5 : 0.5;
    lo -= folga, hi += folga;
  }
  v0 = lo, v1 = hi;
}

// One pixel per node, at most 2048 each way (cairo's limit is 32767; the figure
// is a few hundred units wide, and the exports carry every value).
cairo_surface_t* imagem_do_campo(const Relatorio& rel, Campo campo, double v0, double v1, int& iw, int& ih) {
  iw = std::min(rel.Nx, 2048);
  ih = std::min(rel.Ny, 2048);
  cairo_surface_t* img = cairo_image_surface_create(CAIRO_FORMAT_RGB24, iw, ih);
  if (cairo_surface_status(img) != CAIRO_STATUS_SUCCESS) return img;
  cairo_surface_flush(img);
  unsigned char* dados = cairo_image_surface_get_data(img);
  int passo = cairo_image_surface_get_stride(img);
  Cor (*mapa)(double) = campo == Campo::erro ? mapa_divergente : mapa_sequencial;
  for (int b = 0; b < ih; ++b) {
    std::int64_t j = static_cast<std::int64_t>(ih - 1 - b) * rel.Ny / ih;  // image row 0 is the top edge
    auto* linha = reinterpret_cast<std::uint32_t*>(dados + static_cast<std::ptrdiff_t>(b) * passo);
    for (int a = 0; a < iw; ++a) {
      std::int64_t i = static_cast<std::int64_t>(a) * rel.Nx / iw;
      double v = valor(rel.nos[static_cast<std::size_t>(i + j * rel.Nx)], campo);
      Cor c = std::isfinite(v) ? mapa((v - v0) / (v1 - v0)) : cor_indefinida;
      auto canal = [](double x) { return static_cast<std::uint32_t>(std::lround(std::clamp(x, 0.0, 1.0) * 255)); };
      linha[a] = (canal(c.r) << 16) | (canal(c.g) << 8) | canal(c.b);
    }
  }
  cairo_surface_mark_dirty(img);
  return img;
}

}  // namespace

Tamanho tamanho_historico() { return {1000, 560}; }

std::string subtitulo(const Relatorio& rel, const std::string& depois) {
  return rel.titulo + " — malha " + std::to_string(rel.Nx) + " × " + std::to_string(rel.Ny) + depois;
}

void desenhar_historico(cairo_t* cr, const Relatorio& rel, const Resumo& r) {
  const Tamanho t = tamanho_historico();
  const Caixa c{95, 80, 660, t.altura - 65.0};
  cabecalho(cr, t.largura, "Histórico de convergência",
            subtitulo(rel, ", it = " + std::to_string(rel.it) + ", tol = " + formatar("%.3E", rel.tol)),
            aviso_convergencia(r));

  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (const LinhaHistorico& h : rel.historico)
    for (double v : {h.L1, h.L2, h.Linf})
      if (v > 0 && std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
  const bool com_tol = rel.tol > 0 && std::isfinite(rel.tol);
  if (com_tol) lo = std::min(lo, rel.tol), hi = std::max(hi, rel.tol);
  double y0, y1;
  faixa_log(lo, hi, y0, y1);
  double x1 = std::max(rel.it, 1);

  Escala ex{0, x1, c.x0, c.x1}, ey{y0, y1, c.y1, c.y0, true};
  Marcas mx = marcas_lineares(0, x1, 8);
  std::erase_if(mx.lista, [](const Marca& m) { return m.valor != std::floor(m.valor); });  // whole iterations
  eixos(cr, c, ex, mx, ey, marcas_log(y0, y1, 12), "iteração", "norma relativa ao campo inicial");

  cairo_save(cr);
  cairo_rectangle(cr, c.x0, c.y0, c.largura(), c.altura());
  cairo_clip(cr);
  if (com_tol) {
    tracejado(cr, true);
    cairo_set_source_rgb(cr, cor_L1.r, cor_L1.g, cor_L1.b);
    cairo_set_line_width(cr, 1.5);
    cairo_move_to(cr, c.x0, ey(rel.tol));
    cairo_line_to(cr, c.x1, ey(rel.tol));
    cairo_stroke(cr);
    tracejado(cr, false);
    texto(cr, c.x0 + 6, ey(rel.tol) - 3, "tol (L1)", 11, 0, 1, false, 0, cor_L1);
  }
  const bool marcadores = rel.historico.size() <= 60;
  serie(cr, rel, &LinhaHistorico::L2, ex, ey, cor_L2, marcadores);
  serie(cr, rel, &LinhaHistorico::Linf, ex, ey, cor_Linf, marcadores);
  serie(cr, rel, &LinhaHistorico::L1, ex, ey, cor_L1, marcadores);
  cairo_restore(cr);

  std::vector<ItemLegenda> itens = {
      {"L1(it)/L1(0), L1 = Σ |r|", cor_L1, false, marcadores ? Marcador::circulo : Marcador::nenhum},
      {"L2(it)/L2(0), L2 = Σ r² (soma de quadrados)", cor_L2, false, marcadores ? Marcador::circulo : Marcador::nenhum},
      {"Linf(it)/Linf(0), Linf = máx |r|", cor_Linf, false, marcadores ? Marcador::circulo : Marcador::nenhum}};
  if (com_tol) itens.push_back({"tol: critério de parada, só sobre L1", cor_L1, true});
  double h = legenda(cr, c.x1 + 15, c.y0, t.largura - c.x1 - 25, itens);
  texto(cr, c.x1 + 15, c.y0 + h + 8, "r: resíduo de cada nó interior", 11);
}

std::string motivo_sem_mapa(const Relatorio& rel) {
  if (rel.listagem != Listagem::completa) return "o relatório não lista todos os nós (sol_mode diferente de 1)";
  if (rel.Nx < 2 || rel.Ny < 2) return "a malha precisa de pelo menos dois nós em cada direção";
  const No& a = rel.nos.front();
  double wx = std::fabs(rel.nos[static_cast<std::size_t>(rel.Nx) - 1].x - a.x);
  double wy = std::fabs(rel.nos[static_cast<std::size_t>(rel.Ny - 1) * static_cast<std::size_t>(rel.Nx)].y - a.y);
  if (!(wx > 0) || !(wy > 0) || !std::isfinite(wx) || !std::isfinite(wy))
    return "a placa não tem extensão finita e não nula";
  if (wx / wy > 1e4 || wy / wx > 1e4) return "a placa é estreita demais para ser desenhada na proporção real";
  return {};
}

Tamanho tamanho_mapa(const Relatorio& rel) { return geometria(rel).tamanho; }

void desenhar_mapa(cairo_t* cr, const Relatorio& rel, const Resumo& r, Campo campo) {
  const Geometria g = geometria(rel);
  const Caixa& p = g.placa;
  const char* titulo = campo == Campo::numerica    ? "Temperatura numérica"
                       : campo == Campo::analitica ? "Temperatura analítica"
                                                   : "Erro numérico (analítica − numérica)";
  cabecalho(cr, g.tamanho.largura, titulo, subtitulo(rel), aviso_convergencia(r));

  double v0, v1;
  faixa_de_cores(rel, campo, v0, v1);
  int iw, ih;
  cairo_surface_t* img = imagem_do_campo(rel, campo, v0, v1, iw, ih);
  // Image pixel (u, v) to the device: node centres on their grid positions, the
  // cells around the edge nodes cut by the plate's outline.
  const double cw = p.largura() / (rel.Nx - 1), ch = p.altura() / (rel.Ny - 1);
  const double sx = cw * rel.Nx / iw, sy = ch * rel.Ny / ih;
  cairo_matrix_t m;
  cairo_matrix_init(&m, sx, 0, 0, sy, p.x0 - 0.5 * cw, p.y0 - 0.5 * ch);
  cairo_matrix_invert(&m);
  cairo_pattern_t* pad = cairo_pattern_create_for_surface(img);
  cairo_pattern_set_matrix(pad, &m);
  cairo_pattern_set_filter(pad, CAIRO_FILTER_NEAREST);
  cairo_pattern_set_extend(pad, CAIRO_EXTEND_PAD);
  cairo_save(cr);
  cairo_rectangle(cr, p.x0, p.y0, p.largura(), p.altura());
  cairo_clip(cr);
  cairo_set_source(cr, pad);
  cairo_paint(cr);
  cairo_restore(cr);
  cairo_pattern_destroy(pad);
  cairo_surface_destroy(img);

  const No& a = rel.nos.front();
  const double xa = a.x, xb = rel.nos[static_cast<std::size_t>(rel.Nx) - 1].x;
  const double ya = a.y, yb = rel.nos[static_cast<std::size_t>(rel.Ny - 1) * static_cast<std::size_t>(rel.Nx)].y;
  Escala ex{xa, xb, p.x0, p.x1}, ey{ya, yb, p.y1, p.y0};
  int alvo_x = std::max(2, static_cast<int>(p.largura() / 80)), alvo_y = std::max(2, static_cast<int>(p.altura() / 60));
  // Isotherms at the levels of a finer set of the bar's ticks, inside its range.
  std::vector<double> niveis;
  if (campo != Campo::erro) {
    Marcas n = marcas_lineares(v0, v1, 10);
    const double margem = (v1 - v0) * 1e-6;
    std::erase_if(n.lista, [&](const Marca& m) { return m.valor <= v0 + margem || m.valor >= v1 - margem; });
    desenhar_isotermas(cr, rel, campo, n, ex, ey, p);
    for (const Marca& m : n.lista) niveis.push_back(m.valor);
  }
  eixos(cr, p, ex, marcas_lineares(std::min(xa, xb), std::max(xa, xb), alvo_x), ey,
        marcas_lineares(std::min(ya, yb), std::max(ya, yb), alvo_y), "x [m]", "y [m]");
  // The edge value is 1: temperatures are dimensionless.
  barra_de_cores(cr, g.barra, v0, v1, campo == Campo::erro ? mapa_divergente : mapa_sequencial,
                 campo == Campo::erro ? "erro, Ta − T [-]" : "T [-]", niveis);
}

}  // namespace graficos
