// The mesh-refinement study: several reports of one plate solved on different
// grids, the error over their listed nodes against the grid spacing, and the
// observed order of accuracy between consecutive grids.
#pragma once

#include <string>
#include <vector>

#include "relatorio.h"
#include "resumo.h"

namespace graficos {

struct Malha {
  std::string nome;  // the report's path, as given
  const Relatorio* rel = nullptr;
  Resumo resumo;
  double h = 0;        // max(dx, dy): the spacing the study plots against
  double erro_Tm = 0;  // |Tm_a - Tm_n|
  double ordem = 0;    // log(e1/e2) / log(h1/h2) of erro_max with the row before; NaN for the first
};

// The rows of the study, coarsest grid first (h decreasing; equal h: fewer nodes
// first, then the order given), with their orders. `relatorios` and `nomes` go
// together. Returns false and sets `erro` to "FILE:LINE: why" when a report
// cannot take part: it lists no node; it lists other nodes than the first report
// (the central node against every node); or its plate differs from the first
// report's (Lx, Ly compared as printed).
bool montar_estudo(const std::vector<Relatorio>& relatorios, const std::vector<std::string>& nomes,
                   std::vector<Malha>& malhas, std::string& erro);

// convergencia_malha.csv: "dx,dy,Nx,Ny,it,convergiu,erro_max,erro_rms,erro_Tm,ordem",
// one row per grid in the study's order; convergiu is 1 or 0, the first order nan.
bool escrever_estudo_csv(const std::vector<Malha>& malhas, const std::string& caminho, std::string& erro);

}  // namespace graficos
