#include "estudo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <tuple>

#include "exportar.h"
#include "saida.h"
#include "texto.h"

namespace graficos {

namespace {

bool mesmo(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

const char* listagem(Listagem l) { return l == Listagem::completa ? "todos os nós" : "só o nó central"; }

double ordem(const Malha& grossa, const Malha& fina) {
  const double e1 = grossa.resumo.erro_max, e2 = fina.resumo.erro_max;
  if (!(e1 > 0) || !(e2 > 0) || !std::isfinite(e1) || !std::isfinite(e2) || !(grossa.h != fina.h))
    return std::numeric_limits<double>::quiet_NaN();
  return std::log(e1 / e2) / std::log(grossa.h / fina.h);
}

}  // namespace

bool montar_estudo(const std::vector<Relatorio>& relatorios, const std::vector<std::string>& nomes,
                   std::vector<Malha>& malhas, std::string& erro) {
  malhas.clear();
  for (std::size_t k = 0; k < relatorios.size(); ++k) {
    const Relatorio& r = relatorios[k];
    const Relatorio& p = relatorios.front();
    const std::string& nome = nomes[k];
    if (r.listagem == Listagem::nenhuma) {
      erro = nome + ":" + std::to_string(r.linha_listagem) +
             ": o relatório não lista nenhum nó; o estudo de malha precisa do erro nos nós (sol_mode 1 ou 2)";
      return false;
    }
    if (r.listagem != p.listagem) {
      erro = nome + ":" + std::to_string(r.linha_listagem) + ": lista " + listagem(r.listagem) + ", e " +
             nomes.front() + " lista " + listagem(p.listagem) +
             "; o estudo compara o erro sobre os mesmos nós (use o mesmo sol_mode)";
      return false;
    }
    for (auto [linha, nome_valor, v, v0] :
         {std::tuple{linha_Lx, "Lx", r.Lx, p.Lx}, std::tuple{linha_Ly, "Ly", r.Ly, p.Ly}}) {
      if (!mesmo(v, v0)) {
        erro = nome + ":" + std::to_string(linha) + ": " + nome_valor + " = " + formatar("%.15E", v) + ", mas " +
               nomes.front() + " tem " + nome_valor + " = " + formatar("%.15E", v0) +
               "; o estudo de malha precisa da mesma placa";
        return false;
      }
    }
    Malha m;
    m.nome = nome;
    m.rel = &r;
    m.resumo = resumir(r);
    m.h = std::max(m.resumo.dx, m.resumo.dy);
    m.erro_Tm = std::fabs(r.Tm_erro);
    malhas.push_back(m);
  }
  std::stable_sort(malhas.begin(), malhas.end(), [](const Malha& a, const Malha& b) {
    if (a.h != b.h) return a.h > b.h;
    return static_cast<double>(a.rel->Nx) * a.rel->Ny < static_cast<double>(b.rel->Nx) * b.rel->Ny;
  });
  for (std::size_t k = 0; k < malhas.size(); ++k)
    malhas[k].ordem = k == 0 ? std::numeric_limits<double>::quiet_NaN() : ordem(malhas[k - 1], malhas[k]);
  return true;
}

bool escrever_estudo_csv(const std::vector<Malha>& malhas, const std::string& caminho, std::string& erro) {
  ArquivoSaida saida(caminho);
  if (!saida.abrir(erro)) return false;
  std::FILE* f = saida.arquivo();
  std::fputs("dx,dy,Nx,Ny,it,convergiu,erro_max,erro_rms,erro_Tm,ordem\n", f);
  for (const Malha& m : malhas) {
    std::fprintf(f, "%s,%s,%d,%d,%d,%d,%s,%s,%s,%s\n", texto_exato(m.resumo.dx).c_str(),
                 texto_exato(m.resumo.dy).c_str(), static_cast<int>(m.rel->Nx), static_cast<int>(m.rel->Ny),
                 static_cast<int>(m.rel->it), m.resumo.convergiu ? 1 : 0, texto_exato(m.resumo.erro_max).c_str(),
                 texto_exato(m.resumo.erro_rms).c_str(), texto_exato(m.erro_Tm).c_str(), texto_exato(m.ordem).c_str());
  }
  return saida.concluir(erro);
}

}  // namespace graficos
