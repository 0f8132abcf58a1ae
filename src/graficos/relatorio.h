// A calor2d report read back into numbers.
//
// The reader follows the report's record layout line by line: title, the two
// parameter sections with their labels at column 30, the initial norms, the
// history table, the solution listing, the mean temperatures and the time. Each
// record is checked against the layout the writer writes from (leiaute.h), so a
// report that was cut short, hand-edited or is not a calor2d report at all is
// refused with the line it failed on and what that line should have been.
//
// Lines may end in CR LF (as written) or LF alone (after a Unix tool); the text may
// be Windows-1252 (as written) or UTF-8 (after a conversion), decided on the title.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace graficos {

struct LinhaHistorico {
  std::int32_t k = 0;
  double L1 = 0, L2 = 0, Linf = 0;  // each relative to its value at k = 0
};

struct No {
  double x = 0, y = 0;
  double numerica = 0, analitica = 0, erro = 0;  // erro = analitica - numerica
};

// The three values of a node, by name.
enum class Campo { numerica, analitica, erro };
inline double valor(const No& n, Campo c) {
  return c == Campo::numerica ? n.numerica : c == Campo::analitica ? n.analitica : n.erro;
}

// Which nodes the report lists (the case's sol_mode).
enum class Listagem : std::uint8_t {
  nenhuma,   // sol_mode other than 1 and 2
  central,   // sol_mode 2: the one node at the middle of the grid
  completa,  // sol_mode 1: every node, bottom row first, x increasing within a row
};

struct Relatorio {
  std::string titulo;  // UTF-8
  double Lx = 0, Ly = 0;
  std::int32_t Nx = 0, Ny = 0, itmax = 0, it = 0;
  double tol = 0;
  double L1_it = 0;                       // the raw L1 norm after the last sweep
  double L1_0 = 0, L2_0 = 0, Linf_0 = 0;  // norms of the initial field
  std::vector<LinhaHistorico> historico;
  Listagem listagem = Listagem::nenhuma;
  std::vector<No> nos;  // for `completa`, node (i, j) is element (i - 1) + (j - 1) * Nx
  double Tm_analitica = 0, Tm_numerica = 0, Tm_erro = 0;
  double tempo = 0;         // seconds; NaN when the report shows asterisks
  long linha_listagem = 0;  // record where the solution listing begins (or would begin)
};

// Records that hold Lx and Ly in every report.
constexpr long linha_Lx = 7, linha_Ly = 8;

struct ErroLeitura {
  long linha = 0;          // 1-based record number; 0 when the file could not be read at all
  std::string esperado;    // what the record should have been (UTF-8)
  std::string encontrado;  // the record as found (UTF-8, cut if long), or a note
};

// Called while the solution listing is read, with the nodes read so far and the
// nodes expected (Nx * Ny).
using Progresso = std::function<void(std::int64_t lidos, std::int64_t total)>;

// Reads a whole report from `f`. Returns true and fills `rel`, or returns false
// and describes the first record that is not what the report layout puts there.
bool ler_relatorio(std::FILE* f, Relatorio& rel, ErroLeitura& erro, const Progresso& progresso = {});

// The same on bytes in memory (tests, and callers that already hold the text).
bool ler_relatorio_texto(const std::string& texto, Relatorio& rel, ErroLeitura& erro);

}  // namespace graficos
