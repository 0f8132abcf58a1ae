#include "tarefas.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace graficos {

namespace fs = std::filesystem;

namespace {

struct FecharArquivo {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool ler_arquivo(const std::string& caminho, Relatorio& rel, std::FILE* diag) {
  std::unique_ptr<std::FILE, FecharArquivo> f(std::fopen(caminho.c_str(), "rb"));
  if (!f) {
    std::fprintf(diag, "%s: %s: %s\n", programa, caminho.c_str(), std::strerror(errno));
    return false;
  }
  std::error_code ec;
  if (fs::is_directory(caminho, ec)) {
    std::fprintf(diag, "%s: %s: é uma pasta, não um relatório\n", programa, caminho.c_str());
    return false;
  }
  int decimo_mostrado = 0;
  auto progresso = [&](std::int64_t lidos, std::int64_t total) {
    if (total <= nos_para_progresso) return;
    auto decimo = static_cast<int>(lidos * 10 / total);
    if (decimo <= decimo_mostrado) return;
    decimo_mostrado = decimo;
    std::fprintf(diag, "%s: %s: lendo a solução: %d%% (%lld de %lld nós)\n", programa, caminho.c_str(), decimo * 10,
                 static_cast<long long>(lidos), static_cast<long long>(total));
  };
  ErroLeitura erro;
  if (ler_relatorio(f.get(), rel, erro, progresso)) return true;
  if (erro.linha == 0) {
    std::fprintf(diag, "%s: %s: %s\n", programa, caminho.c_str(), erro.encontrado.c_str());
  } else {
    std::fprintf(diag, "%s: %s:%ld: esperado %s; encontrado \"%s\"\n", programa, caminho.c_str(), erro.linha,
                 erro.esperado.c_str(), erro.encontrado.c_str());
  }
  return false;
}

void figura(std::vector<Tarefa>& tarefas, bool png, bool svg, const std::string& base, int largura, int altura,
            std::function<void(cairo_t*)> desenhar) {
  for (Formato formato : {Formato::png, Formato::svg}) {
    if (!(formato == Formato::png ? png : svg)) continue;
    tarefas.push_back({base + (formato == Formato::png ? ".png" : ".svg"), [=](const std::string& c, std::string& e) {
                         return gravar_figura(formato, c, largura, altura, desenhar, e);
                       }});
  }
}

bool preparar_pasta(const std::string& pasta, std::FILE* diag) {
  std::error_code ec;
  // A file of that name (a report, say) is not a folder, whatever the system calls it.
  if (fs::exists(pasta, ec) && !fs::is_directory(pasta, ec)) {
    std::fprintf(diag, "%s: %s: não é uma pasta\n", programa, pasta.c_str());
    return false;
  }
  fs::create_directories(pasta, ec);  // an existing folder is no error
  if (ec || !fs::is_directory(pasta, ec)) {
    std::fprintf(diag, "%s: %s: %s\n", programa, pasta.c_str(), ec ? ec.message().c_str() : "não é uma pasta");
    return false;
  }
  return true;
}

int cumprir(const std::vector<Tarefa>& tarefas, const std::vector<std::string>& relatorios, std::FILE* saida,
            std::FILE* diag, bool anunciar) {
  // Never write over a report being read, whatever it is called.
  for (const Tarefa& t : tarefas) {
    for (const std::string& r : relatorios) {
      std::error_code ec;
      if (fs::equivalent(t.caminho, r, ec)) {
        std::fprintf(diag, "%s: %s: é o próprio relatório %s; nada foi escrito\n", programa, t.caminho.c_str(),
                     r.c_str());
        return 1;
      }
    }
  }
  for (const Tarefa& t : tarefas) {
    if (anunciar) std::fprintf(diag, "%s: escrevendo %s\n", programa, t.caminho.c_str());
    std::string e;
    if (!t.fazer(t.caminho, e)) {
      std::fprintf(diag, "%s: %s\n", programa, e.c_str());
      return 1;
    }
    std::fprintf(saida, "%s\n", t.caminho.c_str());
  }
  return std::fflush(saida) == 0 ? 0 : 1;
}

}  // namespace graficos
