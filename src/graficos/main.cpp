// calor2d-graficos: figures and exports from a calor2d report.
#include <cstdio>
#include <string>

#include "programa.h"

int main(int argc, char** argv) {
  graficos::Opcoes op;
  std::string erro;
  switch (graficos::analisar(argc, argv, op, erro)) {
    case graficos::Analise::ajuda: std::fputs(graficos::uso().c_str(), stdout); return std::fflush(stdout) == 0 ? 0 : 1;
    case graficos::Analise::versao:
      std::printf("calor2d-graficos %s\n", CALOR2D_VERSION);
      return std::fflush(stdout) == 0 ? 0 : 1;
    case graficos::Analise::erro:
      std::fprintf(stderr, "calor2d-graficos: %s\nExperimente 'calor2d-graficos --help'.\n", erro.c_str());
      return 2;
    case graficos::Analise::executar: break;
  }
  return graficos::executar(op, stdout, stderr);
}
