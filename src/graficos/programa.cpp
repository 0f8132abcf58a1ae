#include "programa.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "desenho.h"
#include "exportar.h"
#include "figuras.h"
#include "relatorio.h"

namespace graficos {

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t nos_para_progresso = 100000;

struct FecharArquivo {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// "resultado.txt" -> "resultado"; ".oculto" stays whole.
std::string radical(const fs::path& relatorio) {
  std::string nome = relatorio.filename().string();
  std::string::size_type ponto = nome.rfind('.');
  return ponto == std::string::npos || ponto == 0 ? nome : nome.substr(0, ponto);
}

}  // namespace

std::string uso() {
  return "Uso: calor2d-graficos [opções] RELATÓRIO\n"
         "\n"
         "Lê um relatório do calor2d e escreve, ao lado dele (ou na pasta de -o):\n"
         "  RADICAL_historico.EXT   histórico de convergência (L1, L2 e Linf relativos, escala log)\n"
         "  RADICAL_numerica.EXT    mapa da temperatura numérica      (só com sol_mode 1)\n"
         "  RADICAL_analitica.EXT   mapa da temperatura analítica     (só com sol_mode 1)\n"
         "  RADICAL_erro.EXT        mapa do erro numérico             (só com sol_mode 1)\n"
         "  RADICAL_nos.csv         os nós listados: x, y, numérica, analítica, erro\n"
         "  RADICAL.vtk             os três campos para o ParaView    (só com sol_mode 1)\n"
         "RADICAL é o nome do relatório sem a extensão; EXT é png e/ou svg.\n"
         "\n"
         "Opções:\n"
         "  -o, --saida PASTA        escreve na PASTA (criada se não existir)\n"
         "  -f, --formato FORMATO    png (padrão), svg ou ambos\n"
         "  -h, --help               mostra esta ajuda e termina\n"
         "  -V, --version            mostra a versão e termina\n"
         "\n"
         "Estado de saída: 0 sucesso; 1 relatório inválido ou falha de leitura/escrita;\n"
         "2 erro de uso.\n";
}

Analise analisar(int argc, const char* const* argv, Opcoes& op, std::string& erro) {
  op = Opcoes{};
  std::vector<std::string> posicionais;
  bool opcoes_acabaram = false;
  for (int k = 1; k < argc; ++k) {
    std::string a = argv[k];
    if (opcoes_acabaram || a.size() < 2 || a[0] != '-') {
      posicionais.push_back(a);
      continue;
    }
    if (a == "--") {
      opcoes_acabaram = true;
      continue;
    }
    if (a == "-h" || a == "--help" || a == "--ajuda") return Analise::ajuda;
    if (a == "-V" || a == "--version" || a == "--versao") return Analise::versao;
    // An option with a value: "-o DIR", "-oDIR", "--saida DIR", "--saida=DIR".
    std::string nome, valor;
    bool tem_valor = false;
    if (a.rfind("--", 0) == 0) {
      std::string::size_type igual = a.find('=');
      nome = a.substr(0, igual);
      if (igual != std::string::npos) valor = a.substr(igual + 1), tem_valor = true;
    } else {
      nome = a.substr(0, 2);
      if (a.size() > 2) valor = a.substr(2), tem_valor = true;
    }
    bool saida = nome == "-o" || nome == "--saida" || nome == "--output";
    bool formato = nome == "-f" || nome == "--formato" || nome == "--format";
    if (!saida && !formato) {
      erro = "opção desconhecida: " + a;
      return Analise::erro;
    }
    if (!tem_valor) {
      if (k + 1 >= argc) {
        erro = "a opção " + nome + " precisa de um valor";
        return Analise::erro;
      }
      valor = argv[++k];
    }
    if (saida) {
      if (valor.empty()) {
        erro = "a opção " + nome + " precisa de uma pasta";
        return Analise::erro;
      }
      op.pasta = valor;
    } else if (valor == "png" || valor == "svg" || valor == "ambos") {
      op.png = valor != "svg";
      op.svg = valor != "png";
    } else {
      erro = "formato desconhecido: '" + valor + "' (use png, svg ou ambos)";
      return Analise::erro;
    }
  }
  if (posicionais.size() != 1) {
    erro = posicionais.empty() ? "falta o relatório a ler" : "um relatório só, por favor (recebidos " +
                                                                 std::to_string(posicionais.size()) + ")";
    return Analise::erro;
  }
  op.relatorio = posicionais.front();
  return Analise::executar;
}

int executar(const Opcoes& op, std::FILE* saida, std::FILE* diag) {
  const char* prog = "calor2d-graficos";
  std::unique_ptr<std::FILE, FecharArquivo> f(std::fopen(op.relatorio.c_str(), "rb"));
  if (!f) {
    std::fprintf(diag, "%s: %s: %s\n", prog, op.relatorio.c_str(), std::strerror(errno));
    return 1;
  }
  std::error_code ec;
  if (fs::is_directory(op.relatorio, ec)) {
    std::fprintf(diag, "%s: %s: é uma pasta, não um relatório\n", prog, op.relatorio.c_str());
    return 1;
  }

  int decimo_mostrado = 0;
  auto progresso = [&](std::int64_t lidos, std::int64_t total) {
    if (total <= nos_para_progresso) return;
    auto decimo = static_cast<int>(lidos * 10 / total);
    if (decimo <= decimo_mostrado) return;
    decimo_mostrado = decimo;
    std::fprintf(diag, "%s: lendo a solução: %d%% (%lld de %lld nós)\n", prog, decimo * 10,
                 static_cast<long long>(lidos), static_cast<long long>(total));
  };
  Relatorio rel;
  ErroLeitura erro;
  if (!ler_relatorio(f.get(), rel, erro, progresso)) {
    if (erro.linha == 0) {
      std::fprintf(diag, "%s: %s: %s\n", prog, op.relatorio.c_str(), erro.encontrado.c_str());
    } else {
      std::fprintf(diag, "%s: %s:%ld: esperado %s; encontrado \"%s\"\n", prog, op.relatorio.c_str(), erro.linha,
                   erro.esperado.c_str(), erro.encontrado.c_str());
    }
    return 1;
  }
  f.reset();

  fs::path pasta = op.pasta.empty() ? fs::path(op.relatorio).parent_path() : fs::path(op.pasta);
  if (!op.pasta.empty()) {
    fs::create_directories(pasta, ec);  // an existing folder is no error
    if (ec || !fs::is_directory(pasta)) {
      std::fprintf(diag, "%s: %s: %s\n", prog, pasta.string().c_str(),
                   ec ? ec.message().c_str() : "não é uma pasta");
      return 1;
    }
  }
  const std::string base = (pasta / radical(op.relatorio)).string();
  const bool grande = static_cast<std::int64_t>(rel.nos.size()) > nos_para_progresso;
  const bool mapas = rel.listagem == Listagem::completa && motivo_sem_mapa(rel).empty();
  if (rel.listagem == Listagem::completa && !mapas)
    std::fprintf(diag, "%s: mapas e VTK omitidos: %s\n", prog, motivo_sem_mapa(rel).c_str());

  struct Tarefa {
    std::string caminho;
    std::function<bool(const std::string&, std::string&)> fazer;
  };
  std::vector<Tarefa> tarefas;
  std::vector<std::pair<Formato, const char*>> formatos;
  if (op.png) formatos.push_back({Formato::png, ".png"});
  if (op.svg) formatos.push_back({Formato::svg, ".svg"});
  for (const auto& par : formatos) {
    const Formato formato = par.first;
    const char* ext = par.second;
    Tamanho t = tamanho_historico();
    tarefas.push_back({base + "_historico" + ext, [&rel, formato, t](const std::string& c, std::string& e) {
                         return gravar_figura(formato, c, t.largura, t.altura,
                                              [&rel](cairo_t* cr) { desenhar_historico(cr, rel); }, e);
                       }});
    if (!mapas) continue;
    for (const auto& mapa : {std::pair{Campo::numerica, "_numerica"}, std::pair{Campo::analitica, "_analitica"},
                             std::pair{Campo::erro, "_erro"}}) {
      const Campo campo = mapa.first;
      const char* nome = mapa.second;
      Tamanho tm = tamanho_mapa(rel);
      tarefas.push_back({base + nome + ext, [&rel, formato, tm, campo](const std::string& c, std::string& e) {
                           return gravar_figura(formato, c, tm.largura, tm.altura,
                                                [&rel, campo](cairo_t* cr) { desenhar_mapa(cr, rel, campo); }, e);
                         }});
    }
  }
  if (!rel.nos.empty()) tarefas.push_back({base + "_nos.csv", [&rel](const std::string& c, std::string& e) {
                                             return escrever_csv(rel, c, e);
                                           }});
  if (mapas) tarefas.push_back({base + ".vtk", [&rel](const std::string& c, std::string& e) {
                                  return escrever_vtk(rel, c, e);
                                }});

  // Never write over the report being read, whatever it is called.
  for (const Tarefa& t : tarefas) {
    if (fs::equivalent(t.caminho, op.relatorio, ec)) {
      std::fprintf(diag, "%s: %s: é o próprio relatório; nada foi escrito\n", prog, t.caminho.c_str());
      return 1;
    }
  }
  for (const Tarefa& t : tarefas) {
    if (grande) std::fprintf(diag, "%s: escrevendo %s\n", prog, t.caminho.c_str());
    std::string e;
    if (!t.fazer(t.caminho, e)) {
      std::fprintf(diag, "%s: %s\n", prog, e.c_str());
      return 1;
    }
    std::fprintf(saida, "%s\n", t.caminho.c_str());
  }
  return std::fflush(saida) == 0 ? 0 : 1;
}

}  // namespace graficos
