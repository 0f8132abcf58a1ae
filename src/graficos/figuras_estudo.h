// The figures of a mesh-refinement study.
#pragma once

#include <cairo.h>

#include <vector>

#include "estudo.h"
#include "figuras.h"

namespace graficos {

// Error against spacing on log-log axes (largest and RMS error over the listed
// nodes, and the error of the mean), with a slope-2 guide below them. Grids that did not converge show hollow markers.
Tamanho tamanho_estudo();
void desenhar_estudo(cairo_t* cr, const std::vector<Malha>& malhas);

// The L1(it)/L1(0) histories of every grid overlaid, with the tolerances.
void desenhar_historicos(cairo_t* cr, const std::vector<Malha>& malhas);

}  // namespace graficos
