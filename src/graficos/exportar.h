// The report's tables exported for other tools: CSV for spreadsheets and
// scripts, legacy VTK for ParaView.
//
// Both hold exactly the values the report prints: each 16-digit field read to
// the nearest double, written back with 17 significant digits ("%.17g"), so any
// reader that converts correctly gets that same double. Infinities and NaNs are
// written "inf", "-inf" and "nan".
#pragma once

#include <string>

#include "relatorio.h"

namespace graficos {

// Header "x,y,temperatura_numerica,temperatura_analitica,erro_numerico", then one
// row per listed node in the report's order (bottom row first, x increasing);
// LF line ends. Any listing, even of the central node alone.
bool escrever_csv(const Relatorio& rel, const std::string& caminho, std::string& erro);

// Header "k,L1_L1_0,L2_L2_0,Linf_Linf_0", then one row per line of the report's
// history table: k and the three ratios as printed. LF line ends.
bool escrever_historico_csv(const Relatorio& rel, const std::string& caminho, std::string& erro);

// STRUCTURED_POINTS on the Nx x Ny grid (origin at the first node, spacing from
// the first to the last node of the first row and column), with the three fields
// as point data. Needs the full listing.
bool escrever_vtk(const Relatorio& rel, const std::string& caminho, std::string& erro);

// The 17-digit text of a double as both exports write it.
std::string texto_exato(double v);

}  // namespace graficos
