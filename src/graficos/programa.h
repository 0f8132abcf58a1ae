// The command line of calor2d-graficos and the run it drives.
#pragma once

#include <cstdio>
#include <string>

namespace graficos {

struct Opcoes {
  std::string relatorio;  // the report to read
  std::string pasta;      // where to write; empty: beside the report
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

// Reads the report and writes what it supports. Written paths go to `saida`, one
// per line; errors and, for reports of more than 100 000 nodes, progress go to
// `diag`. Returns the exit status: 0 done, 1 bad report or input/output failure.
int executar(const Opcoes& op, std::FILE* saida, std::FILE* diag);

}  // namespace graficos
