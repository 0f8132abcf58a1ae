// Isotherms over a heat map: level curves of a full node listing by marching
// squares on the node grid, each level labelled once where its label fits.
#pragma once

#include <cairo.h>

#include <vector>

#include "eixos.h"
#include "relatorio.h"

namespace graficos {

struct Segmento {
  double x0, y0, x1, y1;  // plate coordinates (m)
};

// The level curve `campo` = `nivel` as segments, one or two per grid cell it
// crosses, linearly interpolated along the cell's edges. A cell whose four
// corners are on alternate sides is split the way its centre (the mean of the
// corners) lies. Cells with a value that is not finite are left out. With
// strides above 1 the cells are those of every `passo_i`-th column and
// `passo_j`-th row (the last ones always kept): a grid finer than the figure's
// pixels is drawn from the nodes a pixel apart.
std::vector<Segmento> isolinha(const Relatorio& rel, Campo campo, double nivel, std::size_t passo_i = 1,
                               std::size_t passo_j = 1);

// Draws the curves of `niveis` in the plate box `placa` mapped by `ex`, `ey`, and
// labels each level with its value in the format of `formato` (the levels' ticks).
void desenhar_isotermas(cairo_t* cr, const Relatorio& rel, Campo campo, const Marcas& niveis, const Escala& ex,
                        const Escala& ey, const Caixa& placa);

}  // namespace graficos
