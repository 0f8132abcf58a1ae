#include "resumo.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "exportar.h"
#include "saida.h"
#include "texto.h"

namespace graficos {

Resumo resumir(const Relatorio& rel) {
  Resumo r;
  if (!rel.historico.empty()) r.L1_final = rel.historico.back().L1;
  r.convergiu = r.L1_final <= rel.tol;  // false for NaN
  r.sol_mode = rel.listagem == Listagem::completa ? 1 : rel.listagem == Listagem::central ? 2 : 0;
  if (rel.historico.size() >= 3) r.hist_step = rel.historico[1].k;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (rel.nos.empty()) {
    r.erro_max = r.erro_rms = nan;
  } else {
    double soma = 0;
    for (const No& n : rel.nos) {
      double e = std::fabs(n.erro);
      if (!(e <= r.erro_max)) r.erro_max = std::isnan(r.erro_max) ? r.erro_max : e;
      soma += n.erro * n.erro;
    }
    r.erro_rms = std::sqrt(soma / static_cast<double>(rel.nos.size()));
  }
  r.dx = rel.Lx / (rel.Nx - 1.0);
  r.dy = rel.Ly / (rel.Ny - 1.0);
  return r;
}

std::string aviso_convergencia(const Resumo& r) {
  if (r.convergiu) return {};
  return formatar("não convergiu (L1(it)/L1(0) = %.3E > tol)", r.L1_final);
}

namespace {

void par(std::FILE* f, const char* nome, const std::string& valor, bool ultimo = false) {
  std::fprintf(f, "  \"%s\": %s%s\n", nome, valor.c_str(), ultimo ? "" : ",");
}

std::string real(double v) { return std::isfinite(v) ? texto_exato(v) : "null"; }

}  // namespace

bool escrever_resumo_json(const Relatorio& rel, const Resumo& r, const std::string& caminho, std::string& erro) {
  ArquivoSaida saida(caminho);
  if (!saida.abrir(erro)) return false;
  std::FILE* f = saida.arquivo();
  std::fputs("{\n", f);
  par(f, "Lx", real(rel.Lx));
  par(f, "Ly", real(rel.Ly));
  par(f, "Nx", std::to_string(rel.Nx));
  par(f, "Ny", std::to_string(rel.Ny));
  par(f, "itmax", std::to_string(rel.itmax));
  par(f, "tol", real(rel.tol));
  par(f, "sol_mode", r.sol_mode > 0 ? std::to_string(r.sol_mode) : "null");
  par(f, "hist_step", r.hist_step > 0 ? std::to_string(r.hist_step) : "null");
  par(f, "it", std::to_string(rel.it));
  par(f, "L1_it", real(rel.L1_it));
  par(f, "L1_it_L1_0", real(r.L1_final));
  par(f, "L1_0", real(rel.L1_0));
  par(f, "L2_0", real(rel.L2_0));
  par(f, "Linf_0", real(rel.Linf_0));
  par(f, "Tm_a", real(rel.Tm_analitica));
  par(f, "Tm_n", real(rel.Tm_numerica));
  par(f, "Tm_a_menos_Tm_n", real(rel.Tm_erro));
  par(f, "erro_max", real(r.erro_max));
  par(f, "convergiu", r.convergiu ? "true" : "false", true);
  std::fputs("}\n", f);
  return saida.concluir(erro);
}

}  // namespace graficos
