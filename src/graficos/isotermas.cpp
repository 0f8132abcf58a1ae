#include "isotermas.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "desenho.h"

namespace graficos {

namespace {

// 0, s, 2s, ... and n - 1.
std::vector<std::size_t> indices(std::size_t n, std::size_t s) {
  std::vector<std::size_t> out;
  for (std::size_t k = 0; k + 1 < n; k += std::max<std::size_t>(s, 1)) out.push_back(k);
  out.push_back(n - 1);
  return out;
}

}  // namespace

std::vector<Segmento> isolinha(const Relatorio& rel, Campo campo, double nivel, std::size_t passo_i,
                               std::size_t passo_j) {
  std::vector<Segmento> out;
  if (rel.listagem != Listagem::completa || rel.Nx < 2 || rel.Ny < 2) return out;
  const std::size_t nx = static_cast<std::size_t>(rel.Nx), ny = static_cast<std::size_t>(rel.Ny);
  auto no = [&](std::size_t i, std::size_t j) -> const No& { return rel.nos[i + j * nx]; };
  const std::vector<std::size_t> is = indices(nx, passo_i), js = indices(ny, passo_j);
  for (std::size_t b = 0; b + 1 < js.size(); ++b) {
    const std::size_t j = js[b], j1 = js[b + 1];
    const double ya = no(0, j).y, yb = no(0, j1).y;
    for (std::size_t a = 0; a + 1 < is.size(); ++a) {
      const std::size_t i = is[a], i1 = is[a + 1];
      const double xa = no(i, 0).x, xb = no(i1, 0).x;
      // Corners counter-clockwise from the bottom left, and the edges between them.
      const double v[4] = {valor(no(i, j), campo), valor(no(i1, j), campo), valor(no(i1, j1), campo),
                           valor(no(i, j1), campo)};
      const double cx[4] = {xa, xb, xb, xa}, cy[4] = {ya, ya, yb, yb};
      if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2]) || !std::isfinite(v[3])) continue;
      bool acima[4];
      int n_acima = 0;
      for (int k = 0; k < 4; ++k) n_acima += acima[k] = v[k] >= nivel;
      if (n_acima == 0 || n_acima == 4) continue;
      double px[4], py[4];
      int corta[4], n = 0;
      for (int k = 0; k < 4; ++k) {
        int m = (k + 1) % 4;
        if (acima[k] == acima[m]) continue;
        double t = (nivel - v[k]) / (v[m] - v[k]);
        px[k] = cx[k] + t * (cx[m] - cx[k]);
        py[k] = cy[k] + t * (cy[m] - cy[k]);
        corta[n++] = k;
      }
      if (n == 2) {
        out.push_back({px[corta[0]], py[corta[0]], px[corta[1]], py[corta[1]]});
      } else {
        // Saddle: the centre on the side of corners 0 and 2 joins them, cutting off 1 and 3.
        bool centro = (v[0] + v[1] + v[2] + v[3]) / 4 >= nivel;
        if (centro == acima[0]) {
          out.push_back({px[0], py[0], px[1], py[1]});
          out.push_back({px[2], py[2], px[3], py[3]});
        } else {
          out.push_back({px[3], py[3], px[0], py[0]});
          out.push_back({px[1], py[1], px[2], py[2]});
        }
      }
    }
  }
  return out;
}

namespace {

struct Retangulo {
  double x0, y0, x1, y1;
  bool cruza(const Retangulo& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

}  // namespace

void desenhar_isotermas(cairo_t* cr, const Relatorio& rel, Campo campo, const Marcas& niveis, const Escala& ex,
                        const Escala& ey, const Caixa& placa) {
  const double tamanho = 10, centro_x = (placa.x0 + placa.x1) / 2;
  std::vector<Retangulo> rotulos;
  std::vector<std::string> textos;
  cairo_save(cr);
  cairo_rectangle(cr, placa.x0, placa.y0, placa.largura(), placa.altura());
  cairo_clip(cr);
  // About a node a pixel: finer grids would only draw many segments on one pixel.
  const std::size_t passo_i = static_cast<std::size_t>(std::max(1.0, (rel.Nx - 1) / std::max(placa.largura(), 1.0)));
  const std::size_t passo_j = static_cast<std::size_t>(std::max(1.0, (rel.Ny - 1) / std::max(placa.altura(), 1.0)));
  for (const Marca& nivel : niveis.lista) {
    std::vector<Segmento> segmentos = isolinha(rel, campo, nivel.valor, passo_i, passo_j);
    if (segmentos.empty()) continue;
    cairo_set_source_rgba(cr, 0, 0, 0, 0.75);
    cairo_set_line_width(cr, 1);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (const Segmento& s : segmentos) {
      cairo_move_to(cr, ex(s.x0), ey(s.y0));
      cairo_line_to(cr, ex(s.x1), ey(s.y1));
    }
    cairo_stroke(cr);

    // The label sits on the curve as near the plate's vertical middle as it can,
    // inside the plate and clear of the labels already placed.
    std::vector<std::pair<double, std::size_t>> lugares;
    for (std::size_t k = 0; k < segmentos.size(); ++k) {
      double xm = ex((segmentos[k].x0 + segmentos[k].x1) / 2);
      lugares.push_back({std::fabs(xm - centro_x), k});
    }
    std::sort(lugares.begin(), lugares.end());
    const double w = largura_texto(cr, nivel.rotulo, tamanho) + 6, h = tamanho + 4;
    const std::size_t tentativas = std::min<std::size_t>(lugares.size(), 400);
    for (std::size_t t = 0; t < tentativas; ++t) {
      const Segmento& s = segmentos[lugares[t].second];
      double xm = ex((s.x0 + s.x1) / 2), ym = ey((s.y0 + s.y1) / 2);
      Retangulo r{xm - w / 2, ym - h / 2, xm + w / 2, ym + h / 2};
      // A level that hugs the hot edge may lend its label a little of the margin.
      if (r.x0 < placa.x0 + 2 || r.x1 > placa.x1 - 2 || ym < placa.y0 || r.y1 > placa.y1 - 2) continue;
      if (std::any_of(rotulos.begin(), rotulos.end(), [&](const Retangulo& o) { return o.cruza(r); })) continue;
      rotulos.push_back(r);
      textos.push_back(nivel.rotulo);
      break;
    }
  }
  cairo_restore(cr);
  for (std::size_t k = 0; k < rotulos.size(); ++k) {
    const Retangulo& r = rotulos[k];
    cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
    cairo_rectangle(cr, r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0);
    cairo_fill(cr);
    texto(cr, (r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2, textos[k], tamanho, 0.5, 0.5);
  }
}

}  // namespace graficos
