#include "ajuda.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/command.h"

namespace ajuda {

namespace {

// UTF-8, like the terminals it is read on.
std::string uso() {
  return std::string(
             "Uso: calor2d\n"
             "     calor2d --help | --version\n"
             "\n"
             "Resolve a condução de calor bidimensional permanente numa placa plana\n"
             "(equação de Laplace, diferenças finitas de cinco pontos, Gauss-Seidel) e\n"
             "compara o resultado com a solução exata.\n"
             "\n"
             "Lê, na pasta atual, o arquivo de caso entrada_geral.ent: nove valores, um\n"
             "por linha (nome do relatório, Lx, Ly, Nx, Ny, itmax, tol, sol_mode,\n"
             "hist_step). Escreve na pasta atual o relatório que o caso nomeia (texto\n"
             "Windows-1252, linhas CR LF); um arquivo de mesmo nome é substituído.\n"
             "\n"
             "Antes de ler o caso e depois de escrever o relatório, executa\n"
             "\"notepad ARQUIVO\" pelo interpretador de comandos (COMSPEC, ou ") +
         rt::default_interpreter() +
         ")\n"
         "e espera que termine. Um notepad no PATH é usado como está; onde não há\n"
         "nenhum, o substituto instalado com o programa (" CALOR2D_LIBEXEC_SUBDIR
         "/notepad)\n"
         "abre o arquivo em $VISUAL, $EDITOR, nano ou vi quando a entrada e a saída\n"
         "são terminais, e não abre nada numa execução em lote (calor2d < /dev/null).\n"
         "\n"
         "Estado de saída: 0 relatório escrito; 1 qualquer falha (valor do caso que\n"
         "a execução não suportaria, erro de entrada ou saída, exceção de ponto\n"
         "flutuante), com uma mensagem na saída de erro.\n"
         "\n"
         "--help e --version, como único argumento, mostram este texto ou a versão e\n"
         "terminam sem ler nem escrever arquivo algum. Outro argumento só serve de\n"
         "nome do relatório quando o caso o deixa em branco.\n";
}

int mostrar(const std::string& texto) {
  bool ok = std::fputs(texto.c_str(), stdout) >= 0;
  ok = std::fflush(stdout) == 0 && ok;
  if (!ok) std::fputs("calor2d: a saída padrão não pôde ser escrita\n", stderr);
  return ok ? 0 : 1;
}

}  // namespace

int responder(int argc, const char* const* argv) {
  if (argc != 2) return -1;
  if (std::strcmp(argv[1], "--help") == 0) return mostrar(uso());
  if (std::strcmp(argv[1], "--version") == 0) return mostrar(std::string("calor2d ") + CALOR2D_VERSION + "\n");
  return -1;
}

}  // namespace ajuda
