#include "programa.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "estudo.h"
#include "exportar.h"
#include "figuras.h"
#include "figuras_estudo.h"
#include "perfis.h"
#include "relatorio.h"
#include "resumo.h"
#include "tarefas.h"

namespace graficos {

namespace fs = std::filesystem;

namespace {

// "resultado.txt" -> "resultado"; ".oculto" stays whole.
std::string radical(const fs::path& relatorio) {
  std::string nome = relatorio.filename().string();
  std::string::size_type ponto = nome.rfind('.');
  return ponto == std::string::npos || ponto == 0 ? nome : nome.substr(0, ponto);
}

int um_relatorio(const Opcoes& op, std::FILE* saida, std::FILE* diag) {
  const std::string& caminho = op.relatorios.front();
  // Held by pointer: the drawing tasks keep references to it.
  auto rel = std::make_unique<Relatorio>();
  if (!ler_arquivo(caminho, *rel, diag)) return 1;
  const Resumo resumo = resumir(*rel);
  fs::path pasta = op.pasta.empty() ? fs::path(caminho).parent_path() : fs::path(op.pasta);
  if (!op.pasta.empty() && !preparar_pasta(op.pasta, diag)) return 1;
  const std::string base = (pasta / radical(caminho)).string();
  const bool completa = rel->listagem == Listagem::completa;
  const bool mapas = completa && motivo_sem_mapa(*rel).empty();
  if (completa && !mapas)
    std::fprintf(diag, "%s: mapas, perfis e VTK omitidos: %s\n", programa, motivo_sem_mapa(*rel).c_str());

  const Relatorio& r = *rel;
  std::vector<Tarefa> tarefas;
  Tamanho t = tamanho_historico();
  figura(tarefas, op.png, op.svg, base + "_historico", t.largura, t.altura,
         [&r, resumo](cairo_t* cr) { desenhar_historico(cr, r, resumo); });
  if (mapas) {
    for (const auto& [c, nome] : {std::pair{Campo::numerica, "_numerica"}, std::pair{Campo::analitica, "_analitica"},
                                  std::pair{Campo::erro, "_erro"}}) {
      // A copy: clang 14 cannot capture a structured binding.
      const Campo campo = c;
      Tamanho tm = tamanho_mapa(r);
      figura(tarefas, op.png, op.svg, base + nome, tm.largura, tm.altura,
             [&r, resumo, campo](cairo_t* cr) { desenhar_mapa(cr, r, resumo, campo); });
    }
    Tamanho tp = tamanho_perfis();
    figura(tarefas, op.png, op.svg, base + "_perfis", tp.largura, tp.altura,
           [&r, resumo](cairo_t* cr) { desenhar_perfis(cr, r, resumo); });
  }
  tarefas.push_back({base + "_historico.csv",
                     [&r](const std::string& c, std::string& e) { return escrever_historico_csv(r, c, e); }});
  tarefas.push_back({base + "_resumo.json", [&r, resumo](const std::string& c, std::string& e) {
                       return escrever_resumo_json(r, resumo, c, e);
                     }});
  if (!r.nos.empty())
    tarefas.push_back(
        {base + "_nos.csv", [&r](const std::string& c, std::string& e) { return escrever_csv(r, c, e); }});
  if (mapas)
    tarefas.push_back({base + ".vtk", [&r](const std::string& c, std::string& e) { return escrever_vtk(r, c, e); }});
  const bool grande = static_cast<std::int64_t>(r.nos.size()) > nos_para_progresso;
  return cumprir(tarefas, op.relatorios, saida, diag, grande);
}

int estudo(const Opcoes& op, std::FILE* saida, std::FILE* diag) {
  // One file given twice would be a grid compared with itself.
  for (std::size_t k = 0; k < op.relatorios.size(); ++k) {
    for (std::size_t l = 0; l < k; ++l) {
      std::error_code ec;
      if (fs::equivalent(op.relatorios[l], op.relatorios[k], ec)) {
        std::fprintf(diag, "%s: %s: é o mesmo relatório que %s; o estudo de malha compara malhas diferentes\n",
                     programa, op.relatorios[k].c_str(), op.relatorios[l].c_str());
        return 1;
      }
    }
  }
  std::vector<Relatorio> relatorios(op.relatorios.size());
  for (std::size_t k = 0; k < relatorios.size(); ++k)
    if (!ler_arquivo(op.relatorios[k], relatorios[k], diag)) return 1;
  std::vector<Malha> malhas;
  std::string erro;
  if (!montar_estudo(relatorios, op.relatorios, malhas, erro)) {
    std::fprintf(diag, "%s: %s\n", programa, erro.c_str());
    return 1;
  }
  // analisar() saw to it that without -o the reports share one folder.
  fs::path pasta = op.pasta.empty() ? fs::path(op.relatorios.front()).parent_path() : fs::path(op.pasta);
  if (!op.pasta.empty() && !preparar_pasta(op.pasta, diag)) return 1;
  const std::string base = (pasta / "convergencia_").string();
  std::vector<Tarefa> tarefas;
  tarefas.push_back({base + "malha.csv",
                     [&malhas](const std::string& c, std::string& e) { return escrever_estudo_csv(malhas, c, e); }});
  Tamanho t = tamanho_estudo();
  figura(tarefas, op.png, op.svg, base + "malha", t.largura, t.altura,
         [&malhas](cairo_t* cr) { desenhar_estudo(cr, malhas); });
  figura(tarefas, op.png, op.svg, base + "historicos", t.largura, t.altura,
         [&malhas](cairo_t* cr) { desenhar_historicos(cr, malhas); });
  return cumprir(tarefas, op.relatorios, saida, diag);
}

}  // namespace

std::string uso() {
  return "Uso: calor2d-graficos [opções] RELATÓRIO\n"
         "     calor2d-graficos [opções] RELATÓRIO RELATÓRIO...   (estudo de malha)\n"
         "\n"
         "Lê um relatório do calor2d e escreve, ao lado dele (ou na pasta de -o):\n"
         "  RADICAL_historico.EXT   histórico de convergência (L1, L2 e Linf relativos, escala log)\n"
         "  RADICAL_historico.csv   o histórico: k e as três razões, como o relatório as mostra\n"
         "  RADICAL_resumo.json     parâmetros, normas, médias, erro máximo e se convergiu\n"
         "  RADICAL_numerica.EXT    mapa da temperatura numérica, com isotermas (só com sol_mode 1)\n"
         "  RADICAL_analitica.EXT   mapa da temperatura analítica, com isotermas (só com sol_mode 1)\n"
         "  RADICAL_erro.EXT        mapa do erro numérico             (só com sol_mode 1)\n"
         "  RADICAL_perfis.EXT      perfis numérico e analítico nas linhas centrais (só com sol_mode 1)\n"
         "  RADICAL_nos.csv         os nós listados: x, y, numérica, analítica, erro\n"
         "  RADICAL.vtk             os três campos para o ParaView    (só com sol_mode 1)\n"
         "RADICAL é o nome do relatório sem a extensão; EXT é png e/ou svg.\n"
         "\n"
         "Com vários relatórios da mesma placa em malhas diferentes (sol_mode 1 ou 2),\n"
         "escreve o estudo de malha na pasta de -o (sem -o, na pasta dos relatórios):\n"
         "  convergencia_malha.csv       uma linha por malha: dx, dy, Nx, Ny, it, convergiu,\n"
         "                               erro máximo e RMS nos nós, |Tm_a - Tm_n| e a ordem observada\n"
         "  convergencia_malha.EXT       erro contra espaçamento (log-log), com a inclinação 2\n"
         "  convergencia_historicos.EXT  os históricos de L1 sobrepostos\n"
         "\n"
         "Opções:\n"
         "  -o, --saida PASTA        escreve na PASTA (criada se não existir)\n"
         "  -f, --formato FORMATO    png (padrão), svg ou ambos\n"
         "  -h, --help               mostra esta ajuda e termina\n"
         "  -V, --version            mostra a versão e termina\n"
         "\n"
         "Estado de saída: 0 sucesso; 1 relatório inválido ou recusado, ou falha de\n"
         "leitura/escrita; 2 erro de uso.\n";
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
  if (posicionais.empty()) {
    erro = "falta o relatório a ler";
    return Analise::erro;
  }
  if (posicionais.size() > 1 && op.pasta.empty()) {
    // The study goes beside its reports when they share a folder.
    fs::path comum = fs::path(posicionais.front()).parent_path();
    for (const std::string& p : posicionais) {
      if (fs::path(p).parent_path() != comum) {
        erro = "os relatórios estão em pastas diferentes: diga com -o onde escrever o estudo de malha";
        return Analise::erro;
      }
    }
  }
  op.relatorios = posicionais;
  return Analise::executar;
}

int executar(const Opcoes& op, std::FILE* saida, std::FILE* diag) {
  return op.relatorios.size() == 1 ? um_relatorio(op, saida, diag) : estudo(op, saida, diag);
}

}  // namespace graficos
