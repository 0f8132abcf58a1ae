// What a report says about its run, in numbers a script can take: whether the
// solver met the tolerance, the error over the listed nodes, the grid spacing.
#pragma once

#include <cstdint>
#include <string>

#include "relatorio.h"

namespace graficos {

struct Resumo {
  bool convergiu = false;      // the last L1(k)/L1(0) of the history is at or below tol
  double L1_final = 0;         // that last ratio
  int sol_mode = 0;            // 1 or 2; 0 when no node is listed (the case's value is then unknown)
  std::int32_t hist_step = 0;  // the history's stride; 0 when the report does not tell it (two lines or fewer)
  double erro_max = 0;         // largest |Ta - T| over the listed nodes (NaN when one is NaN, or none is listed)
  double erro_rms = 0;         // root mean square of Ta - T over the listed nodes
  double dx = 0, dy = 0;       // Lx / (Nx - 1) and Ly / (Ny - 1), as calor2d computes them
};

Resumo resumir(const Relatorio& rel);

// "" for a converged run; otherwise "não convergiu (L1(it)/L1(0) = 3.162E-05 > tol)",
// for the subtitle of every figure of the report.
std::string aviso_convergencia(const Resumo& r);

// <stem>_resumo.json: the run's parameters, it, L1(it), the initial norms, the
// means and their difference, erro_max and convergiu. Numbers as the CSV files
// write them; a value that is not finite, or not known, is null.
bool escrever_resumo_json(const Relatorio& rel, const Resumo& r, const std::string& caminho, std::string& erro);

}  // namespace graficos
