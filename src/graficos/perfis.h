// Profiles of a full node listing: the numerical and the exact temperature along
// the vertical line nearest x = Lx/2 and along the horizontal line nearest
// y = Ly/2 (the lower one on a tie, as the report's central node), with the
// error on a second axis.
#pragma once

#include <cairo.h>

#include <cstddef>

#include "figuras.h"

namespace graficos {

// 0-based index of the node coordinate nearest `alvo` among `n` values spaced
// `passo` apart in `rel.nos` from `inicio` (the first of them lowest on a tie).
std::size_t indice_mais_proximo(const Relatorio& rel, std::size_t inicio, std::size_t passo, std::size_t n,
                                double No::*coordenada, double alvo);

Tamanho tamanho_perfis();
// Needs a listing that motivo_sem_mapa() accepts.
void desenhar_perfis(cairo_t* cr, const Relatorio& rel, const Resumo& r);

}  // namespace graficos
