#include "desenho.h"

#include <cairo-svg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

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

}  // namespace

bool gravar_figura(Formato formato, const std::string& caminho, int largura, int altura,
                   const std::function<void(cairo_t*)>& desenhar, std::string& erro) {
  ArquivoSaida saida(caminho);
  if (!saida.abrir(erro)) return false;
  cairo_surface_t* sup = formato == Formato::svg
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
           double angulo, Cor cor) {
  cairo_save(cr);
  cairo_select_font_face(cr, fonte, CAIRO_FONT_SLANT_NORMAL,
                         negrito ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
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
  cairo_set_source_rgb(cr, cor.r, cor.g, cor.b);
  cairo_show_text(cr, s.c_str());
  cairo_restore(cr);
}

double largura_texto(cairo_t* cr, const std::string& s, double tamanho, bool negrito) {
  cairo_save(cr);
  cairo_select_font_face(cr, fonte, CAIRO_FONT_SLANT_NORMAL,
                         negrito ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, tamanho);
  cairo_text_extents_t e;
  cairo_text_extents(cr, s.c_str(), &e);
  cairo_restore(cr);
  return e.x_advance;
}

double largura_potencia(cairo_t* cr, const std::string& base, const std::string& expoente, double tamanho) {
  return largura_texto(cr, base, tamanho) + largura_texto(cr, expoente, tamanho * 0.7);
}

void texto_potencia(cairo_t* cr, double x, double y, const std::string& base, const std::string& expoente,
                    double tamanho, double ah, double av) {
  double x0 = x - ah * largura_potencia(cr, base, expoente, tamanho);
  texto(cr, x0, y, base, tamanho, 0, av);
  texto(cr, x0 + largura_texto(cr, base, tamanho), y - tamanho * 0.45, expoente, tamanho * 0.7, 0, av);
}

void cabecalho(cairo_t* cr, double largura, const std::string& titulo, const std::string& subtitulo,
               const std::string& aviso) {
  texto(cr, largura / 2, 12, titulo, 17, 0.5, 0, true);
  texto(cr, largura / 2, 37, subtitulo, 11, 0.5, 0);
  if (!aviso.empty()) texto(cr, largura / 2, 53, aviso, 11, 0.5, 0, true, 0, cor_aviso);
}

Cor cor_da_serie(int k) {
  static constexpr Cor cores[] = {{0.12, 0.47, 0.71}, {1.0, 0.50, 0.05},  {0.17, 0.63, 0.17},
                                  {0.58, 0.40, 0.74}, {0.55, 0.34, 0.29}, {0.89, 0.47, 0.76},
                                  {0.50, 0.50, 0.50}, {0.74, 0.74, 0.13}, {0.09, 0.75, 0.81}};
  return cores[static_cast<unsigned>(k) % (sizeof cores / sizeof cores[0])];
}

void tracejado(cairo_t* cr, bool sim) {
  static const double tracos[] = {6, 4};
  cairo_set_dash(cr, tracos, sim ? 2 : 0, 0);
}

void marcador(cairo_t* cr, double x, double y, Marcador m, double raio, bool vazado) {
  if (m == Marcador::nenhum) return;
  cairo_save(cr);
  cairo_new_path(cr);
  tracejado(cr, false);
  if (m == Marcador::circulo) {
    cairo_arc(cr, x, y, raio, 0, 2 * std::numbers::pi);
  } else if (m == Marcador::quadrado) {
    cairo_rectangle(cr, x - raio * 0.9, y - raio * 0.9, raio * 1.8, raio * 1.8);
  } else {
    cairo_move_to(cr, x, y - raio * 1.15);
    cairo_line_to(cr, x + raio * 1.05, y + raio * 0.7);
    cairo_line_to(cr, x - raio * 1.05, y + raio * 0.7);
    cairo_close_path(cr);
  }
  if (vazado) {
    double r, g, b, a;
    cairo_pattern_get_rgba(cairo_get_source(cr), &r, &g, &b, &a);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, r, g, b, a);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
  } else {
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

double legenda(cairo_t* cr, double x, double y, double largura, const std::vector<ItemLegenda>& itens) {
  const double passo = 20, altura = 10 + passo * static_cast<double>(itens.size());
  cairo_save(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_rectangle(cr, x, y, largura, altura);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  for (std::size_t k = 0; k < itens.size(); ++k) {
    const ItemLegenda& it = itens[k];
    double yk = y + 15 + passo * static_cast<double>(k);
    cairo_set_source_rgb(cr, it.cor.r, it.cor.g, it.cor.b);
    if (it.linha) {
      cairo_set_line_width(cr, 2);
      tracejado(cr, it.tracejado);
      cairo_move_to(cr, x + 8, yk);
      cairo_line_to(cr, x + 38, yk);
      cairo_stroke(cr);
      tracejado(cr, false);
    }
    marcador(cr, x + 23, yk, it.marcador, 3.5);
    texto(cr, x + 46, yk, it.rotulo, 12, 0, 0.5);
  }
  cairo_restore(cr);
  return altura;
}

}  // namespace graficos
