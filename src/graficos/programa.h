// The command line of calor2d-graficos and the run it drives.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace graficos {

struct Opcoes {
  std::vector<std::string> relatorios;  // one report, or several for a mesh-refinement study
  std::string pasta;                    // where to write; empty: beside the report(s)
  bool svg = false, png = true;
};

enum class Analise {
  executar,  // options are sound: run
  ajuda,     // --help: print the usage, status 0
  versao,    // --version: print the version, status 0
  erro,      // usage error: message and status 2
};

Analise analisar(int argc, const char* const* argv, Opcoes& op, std::string& erro);

// Usage text (UTF-8, Portuguese).
std::string uso();

// Reads the report and writes what it supports, or, for several reports, the
// study of their grids. Written paths go to `saida`, one per line; errors and,
// for reports of more than 100 000 nodes, progress go to `diag`. Returns the exit
// status: 0 done, 1 a report refused or an input/output failure.
int executar(const Opcoes& op, std::FILE* saida, std::FILE* diag);

}  // namespace graficos
