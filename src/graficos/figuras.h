// The companion's figures: the convergence history and the heat maps of a full
// node listing, each drawn once for SVG and PNG alike.
#pragma once

#include <cairo.h>

#include <string>

#include "relatorio.h"

namespace graficos {

struct Tamanho {
  int largura, altura;
};

// The three ratios against the iteration on a logarithmic axis, with the tolerance.
Tamanho tamanho_historico();
void desenhar_historico(cairo_t* cr, const Relatorio& rel);

enum class Campo { numerica, analitica, erro };

// Empty when the listing can be drawn as a heat map (every node of a grid with
// at least two nodes each way and a plate of finite, nonzero size); otherwise why not.
std::string motivo_sem_mapa(const Relatorio& rel);

// The plate at its true aspect ratio, each node's value over the cell around it,
// axes in metres and a colour bar. The numerical and exact fields share one colour
// scale so that they can be compared; the error uses a scale symmetric about 0.
Tamanho tamanho_mapa(const Relatorio& rel);
void desenhar_mapa(cairo_t* cr, const Relatorio& rel, Campo campo);

}  // namespace graficos
