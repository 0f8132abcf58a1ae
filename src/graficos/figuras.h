// The companion's figures of one report: the convergence history and the heat
// maps of a full node listing (the profiles are in perfis.h), each drawn once
// for SVG and PNG alike. Every subtitle names the grid and, when the solver
// stopped before the tolerance, says so ("não convergiu").
#pragma once

#include <cairo.h>

#include <string>

#include "relatorio.h"
#include "resumo.h"

namespace graficos {

struct Tamanho {
  int largura, altura;
};

// The three ratios against the iteration on a logarithmic axis whose range
// includes the tolerance, which is drawn on the L1 curve's colour since the
// stopping test applies to L1 alone; the legend beside the plot, not over it.
Tamanho tamanho_historico();
void desenhar_historico(cairo_t* cr, const Relatorio& rel, const Resumo& r);

// Empty when the listing can be drawn as a heat map (every node of a grid with
// at least two nodes each way and a plate of finite, nonzero size); otherwise why not.
std::string motivo_sem_mapa(const Relatorio& rel);

// The plate at its true aspect ratio, each node's value over the cell around it,
// axes in metres and a colour bar with both ends labelled. The numerical and
// exact fields share one colour scale so that they can be compared, and carry
// labelled isotherms at the bar's levels; the error uses a scale symmetric about 0.
Tamanho tamanho_mapa(const Relatorio& rel);
void desenhar_mapa(cairo_t* cr, const Relatorio& rel, const Resumo& r, Campo campo);

// "<title> — malha Nx × Ny" and what follows it.
std::string subtitulo(const Relatorio& rel, const std::string& depois = {});

}  // namespace graficos
