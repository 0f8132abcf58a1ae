#include "exportar.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "saida.h"

namespace graficos {

namespace {

// snprintf straight into the stream: a million nodes make five million numbers.
void numero(std::FILE* f, double v) {
  if (std::isnan(v)) {
    std::fputs("nan", f);
  } else if (std::isinf(v)) {
    std::fputs(v > 0 ? "inf" : "-inf", f);
  } else {
    std::fprintf(f, "%.17g", v);
  }
}

// One CSV row: the values separated by commas, then LF.
void linha(std::FILE* f, std::initializer_list<double> valores) {
  const char* separador = "";
  for (double v : valores) {
    std::fputs(separador, f);
    numero(f, v);
    separador = ",";
  }
  std::fputc('\n', f);
}

}  // namespace

std::string texto_exato(double v) {
  char buf[40];
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

bool escrever_csv(const Relatorio& rel, const std::string& caminho, std::string& erro) {
  ArquivoSaida saida(caminho);
  if (!saida.abrir(erro)) return false;
  std::FILE* f = saida.arquivo();
  std::fputs("x,y,temperatura_numerica,temperatura_analitica,erro_numerico\n", f);
  for (const No& n : rel.nos) linha(f, {n.x, n.y, n.numerica, n.analitica, n.erro});
  return saida.concluir(erro);
}

bool escrever_historico_csv(const Relatorio& rel, const std::string& caminho, std::string& erro) {
  ArquivoSaida saida(caminho);
  if (!saida.abrir(erro)) return false;
  std::FILE* f = saida.arquivo();
  std::fputs("k,L1_L1_0,L2_L2_0,Linf_Linf_0\n", f);
  for (const LinhaHistorico& h : rel.historico) {
    std::fprintf(f, "%d,", static_cast<int>(h.k));
    linha(f, {h.L1, h.L2, h.Linf});
  }
  return saida.concluir(erro);
}

bool escrever_vtk(const Relatorio& rel, const std::string& caminho, std::string& erro) {
  if (rel.listagem != Listagem::completa || rel.Nx < 2 || rel.Ny < 2) {
    erro = caminho + ": o VTK precisa da listagem de todos os nós (sol_mode 1) numa malha de 2 × 2 ou mais";
    return false;
  }
  const std::size_t nx = static_cast<std::size_t>(rel.Nx), ny = static_cast<std::size_t>(rel.Ny);
  const No& a = rel.nos.front();
  const double dx = (rel.nos[nx - 1].x - a.x) / (rel.Nx - 1.0);
  const double dy = (rel.nos[(ny - 1) * nx].y - a.y) / (rel.Ny - 1.0);
  ArquivoSaida saida(caminho);
  if (!saida.abrir(erro)) return false;
  std::FILE* f = saida.arquivo();
  std::fprintf(f, "# vtk DataFile Version 3.0\ncalor2d: temperaturas na malha %d x %d\nASCII\n", rel.Nx, rel.Ny);
  std::fprintf(f, "DATASET STRUCTURED_POINTS\nDIMENSIONS %d %d 1\nORIGIN ", rel.Nx, rel.Ny);
  numero(f, a.x);
  std::fputc(' ', f);
  numero(f, a.y);
  std::fputs(" 0\nSPACING ", f);
  numero(f, dx);
  std::fputc(' ', f);
  numero(f, dy);
  std::fprintf(f, " 1\nPOINT_DATA %zu\n", rel.nos.size());
  struct Campo {
    const char* nome;
    double No::*membro;
  };
  for (Campo c : {Campo{"temperatura_numerica", &No::numerica}, Campo{"temperatura_analitica", &No::analitica},
                  Campo{"erro_numerico", &No::erro}}) {
    std::fprintf(f, "SCALARS %s double 1\nLOOKUP_TABLE default\n", c.nome);
    for (const No& n : rel.nos) {
      numero(f, n.*c.membro);
      std::fputc('\n', f);
    }
  }
  return saida.concluir(erro);
}

}  // namespace graficos
