// A thin drawing layer over cairo: the figure file, text, colour maps, point
// markers and legends. Coordinates are device units (pixels in PNG, points in
// SVG), y downwards; texts are UTF-8. Axes and colour bars are in eixos.h.
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
// Colours of successive series (curves of one figure, reports of a study).
Cor cor_da_serie(int k);

constexpr Cor preto{0, 0, 0}, cor_aviso{0.75, 0, 0};
// Anchor of a text relative to its reference point: 0 left/top, 0.5 centre, 1 right/bottom.
void texto(cairo_t* cr, double x, double y, const std::string& s, double tamanho, double ah = 0, double av = 0,
           bool negrito = false, double angulo = 0, Cor cor = preto);
double largura_texto(cairo_t* cr, const std::string& s, double tamanho, bool negrito = false);
// "10" and a raised exponent (the text), as log-axis labels and axis factors show it.
void texto_potencia(cairo_t* cr, double x, double y, const std::string& base, const std::string& expoente,
                    double tamanho, double ah, double av);
double largura_potencia(cairo_t* cr, const std::string& base, const std::string& expoente, double tamanho);

// The title, the subtitle below it and, when not empty, a warning line in red
// ("não convergiu ..."), centred on a figure `largura` wide.
void cabecalho(cairo_t* cr, double largura, const std::string& titulo, const std::string& subtitulo,
               const std::string& aviso);

enum class Marcador { nenhum, circulo, quadrado, triangulo };
// A point marker of about `raio` units, filled or (vazado) an outline on white.
void marcador(cairo_t* cr, double x, double y, Marcador m, double raio, bool vazado = false);
// Sets a dashed (true) or solid line.
void tracejado(cairo_t* cr, bool sim);

struct ItemLegenda {
  std::string rotulo;
  Cor cor;
  bool tracejado = false;
  Marcador marcador = Marcador::nenhum;
  bool linha = true;  // false: the marker alone
};
// A framed legend with its top left corner at (x, y), `largura` wide; returns its height.
double legenda(cairo_t* cr, double x, double y, double largura, const std::vector<ItemLegenda>& itens);

}  // namespace graficos
