#include "desenho.h"

#include <cairo-svg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "saida.h"

namespace graficos {

namespace {

constexpr const char* fonte = "DejaVu Sans";

cairo_status_t para_arquivo(void* closure, const unsigned char* dados, unsigned int n) {
  auto* f = static_cast<std::FILE*>(closure);
  return std::fwrite(dados, 1, n, f) == n ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

Cor interpolar(const Cor* pontos, int n, double t) {
  if (!(t >= 0)) t = 0;  // NaN too
  if (t > 1) t = 1;
  double u = t * (n - 1);
  int k = std::min(static_cast<int>(u), n - 2);
  double f = u - k;
  const Cor& a = pontos[k];
  const Cor& b = pontos[k + 1];
  return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
}

double largura_texto(cairo_t* cr, const std::string& s, double tamanho, bool negrito) {
  cairo_select_font_face(cr, fonte, CAIRO_FONT_SLANT_NORMAL, negrito ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, tamanho);
  cairo_text_extents_t e;
  cairo_text_extents(cr, s.c_str(), &e);
  return e.x_advance;
}

// A tick label: plain text, or "10" with a raised exponent.
void rotulo(cairo_t* cr, const Marca& m, double x, double y, double tamanho, double ah, double av) {
  if (m.expoente.empty()) {
    texto(cr, x, y, m.rotulo, tamanho, ah, av);
    return;
  }
  double pequeno = tamanho * 0.7;
  double w = largura_texto(cr, m.rotulo, tamanho, false) + largura_texto(cr, m.expoente, pequeno, false);
  double x0 = x - ah * w;
  texto(cr, x0, y, m.rotulo, tamanho, 0, av);
  texto(cr, x0 + largura_texto(cr, m.rotulo, tamanho, false), y - tamanho * 0.45, m.expoente, pequeno, 0, av);
}

std::string rotulo_linear(double v, double passo) {
  char buf[32];
  if (std::fabs(v) < passo * 1e-9) v = 0;
  double maior = std::fabs(v);
  if (passo >= 1e-4 && maior < 1e6) {
    int casas = std::max(0, -static_cast<int>(std::floor(std::log10(passo) + 1e-9)));
    std::snprintf(buf, sizeof buf, "%.*f", casas, v);
  } else {
    std::snprintf(buf, sizeof buf, "%.3g", v);
  }
  return buf;
}

double passo_bonito(double a, double b, int alvo) {
  double bruto = (b - a) / std::max(alvo, 1);
  double p = std::pow(10.0, std::floor(std::log10(bruto)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * p >= bruto) return m * p;
  return 10 * p;
}

}  // namespace

bool gravar_figura(Formato formato, const std::string& caminho, int largura, int altura,
                   const std::function<void(cairo_t*)>& desenhar, std::string& erro) {
  ArquivoSaida saida(caminho);
  if (!saida.abrir(erro)) return false;
  cairo_surface_t* sup =
      formato == Formato::svg
          ? cairo_svg_surface_create_for_stream(para_arquivo, saida.arquivo(), largura, altura)
          : cairo_image_surface_create(CAIRO_FORMAT_ARGB32, largura, altura);
  cairo_t* cr = cairo_create(sup);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  desenhar(cr);
  cairo_status_t st = cairo_status(cr);
  cairo_destroy(cr);
  if (st == CAIRO_STATUS_SUCCESS && formato == Formato::png)
    st = cairo_surface_write_to_png_stream(sup, para_arquivo, saida.arquivo());
  cairo_surface_finish(sup);
  if (st == CAIRO_STATUS_SUCCESS) st = cairo_surface_status(sup);
  cairo_surface_destroy(sup);
  if (st != CAIRO_STATUS_SUCCESS) {
    erro = caminho + ": " + cairo_status_to_string(st);
    return false;
  }
  return saida.concluir(erro);
}

Cor mapa_sequencial(double t) {
  static constexpr Cor pontos[] = {
      {0.267, 0.005, 0.329}, {0.283, 0.141, 0.458}, {0.230, 0.322, 0.546}, {0.173, 0.449, 0.558}, {0.128, 0.567, 0.551},
      {0.158, 0.684, 0.502}, {0.369, 0.789, 0.383}, {0.678, 0.864, 0.190}, {0.993, 0.906, 0.144},
  };
  return interpolar(pontos, 9, t);
}

Cor mapa_divergente(double t) {
  static constexpr Cor pontos[] = {{0.230, 0.299, 0.754}, {1.0, 1.0, 1.0}, {0.706, 0.016, 0.150}};
  return interpolar(pontos, 3, t);
}

void texto(cairo_t* cr, double x, double y, const std::string& s, double tamanho, double ah, double av, bool negrito,
           double angulo) {
  cairo_save(cr);
  cairo_select_font_face(cr, fonte, CAIRO_FONT_SLANT_NORMAL, negrito ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, tamanho);
  cairo_text_extents_t e;
  cairo_text_extents(cr, s.c_str(), &e);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, angulo);
  // Vertical anchor on the font's ascent and descent, so labels line up whatever their letters.
  double altura = fe.ascent + fe.descent;
  cairo_move_to(cr, -ah * e.x_advance, fe.ascent - av * altura);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_show_text(cr, s.c_str());
  cairo_restore(cr);
}

double Escala::operator()(double v) const {
  double t = log ? (std::log10(v) - std::log10(v0)) / (std::log10(v1) - std::log10(v0)) : (v - v0) / (v1 - v0);
  return p0 + t * (p1 - p0);
}

std::vector<Marca> marcas_lineares(double a, double b, int alvo) {
  std::vector<Marca> out;
  if (!(b > a) || !std::isfinite(a) || !std::isfinite(b)) return out;
  double passo = passo_bonito(a, b, alvo);
  double primeiro = std::ceil(a / passo - 1e-9);
  for (double k = primeiro; k * passo <= b + passo * 1e-9 && out.size() < 100; k += 1)
    out.push_back({k * passo, rotulo_linear(k * passo, passo), {}});
  return out;
}

std::vector<Marca> marcas_log(double a, double b, int maximo) {
  std::vector<Marca> out;
  if (!(a > 0) || !(b > a) || !std::isfinite(b)) return out;
  int d0 = static_cast<int>(std::ceil(std::log10(a) - 1e-9));
  int d1 = static_cast<int>(std::floor(std::log10(b) + 1e-9));
  int decadas = d1 - d0 + 1;
  int cada = std::max(1, (decadas + maximo - 1) / std::max(maximo, 1));
  for (int d = d0 - 1; d <= d1; ++d) {
    if (d >= d0 && (d - d0) % cada == 0) out.push_back({std::pow(10.0, d), "10", std::to_string(d)});
    else if (d >= d0) out.push_back({std::pow(10.0, d), {}, {}});
    if (decadas <= 6)
      for (int m = 2; m <= 9; ++m) {
        double v = m * std::pow(10.0, d);
        if (v >= a && v <= b) out.push_back({v, {}, {}});
      }
  }
  return out;
}

void eixos(cairo_t* cr, const Caixa& c, const Escala& ex, const std::vector<Marca>& mx, const Escala& ey,
           const std::vector<Marca>& my, const std::string& titulo_x, const std::string& titulo_y) {
  const double tamanho = 12, marca = 6;
  cairo_save(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, c.x0, c.y0, c.largura(), c.altura());
  cairo_stroke(cr);
  double mais_larga = 0;
  for (const Marca& m : mx) {
    double x = ex(m.valor);
    if (x < c.x0 - 0.5 || x > c.x1 + 0.5) continue;
    double comp = m.rotulo.empty() ? marca / 2 : marca;
    cairo_move_to(cr, x, c.y1);
    cairo_line_to(cr, x, c.y1 + comp);
    cairo_stroke(cr);
    if (!m.rotulo.empty()) rotulo(cr, m, x, c.y1 + marca + 3, tamanho, 0.5, 0);
  }
  for (const Marca& m : my) {
    double y = ey(m.valor);
    if (y < c.y0 - 0.5 || y > c.y1 + 0.5) continue;
    double comp = m.rotulo.empty() ? marca / 2 : marca;
    cairo_move_to(cr, c.x0 - comp, y);
    cairo_line_to(cr, c.x0, y);
    cairo_stroke(cr);
    if (!m.rotulo.empty()) {
      rotulo(cr, m, c.x0 - marca - 4, y, tamanho, 1, 0.5);
      mais_larga = std::max(mais_larga, largura_texto(cr, m.rotulo + m.expoente, tamanho, false));
    }
  }
  cairo_restore(cr);
  texto(cr, (c.x0 + c.x1) / 2, c.y1 + marca + tamanho + 12, titulo_x, 13, 0.5, 0);
  texto(cr, c.x0 - marca - 12 - mais_larga, (c.y0 + c.y1) / 2, titulo_y, 13, 0.5, 1, false, -std::numbers::pi / 2);
}

void barra_de_cores(cairo_t* cr, const Caixa& c, double v0, double v1, Cor (*mapa)(double),
                    const std::string& titulo) {
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
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, c.x0, c.y0, c.largura(), c.altura());
  cairo_stroke(cr);
  Escala e{v0, v1, c.y1, c.y0};
  double mais_larga = 0;
  for (const Marca& m : marcas_lineares(v0, v1, 6)) {
    double y = e(m.valor);
    cairo_move_to(cr, c.x1, y);
    cairo_line_to(cr, c.x1 + 5, y);
    cairo_stroke(cr);
    texto(cr, c.x1 + 8, y, m.rotulo, 11, 0, 0.5);
    mais_larga = std::max(mais_larga, largura_texto(cr, m.rotulo, 11, false));
  }
  texto(cr, c.x1 + 16 + mais_larga, (c.y0 + c.y1) / 2, titulo, 13, 0.5, 0, false, -std::numbers::pi / 2);
}

}  // namespace graficos
