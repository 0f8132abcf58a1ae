#include "saida.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace graficos {

ArquivoSaida::~ArquivoSaida() {
  if (f_) std::fclose(f_);
  if (!temporario_.empty()) std::remove(temporario_.c_str());
}

bool ArquivoSaida::abrir(std::string& erro) {
  static unsigned contador = 0;
  for (int tentativa = 0; tentativa < 100; ++tentativa) {
    std::string nome = destino_ + ".tmp" + std::to_string(++contador);
    // "x": never open a file that is already there (another run's, or a link).
    f_ = std::fopen(nome.c_str(), "wbx");
    if (f_) {
      temporario_ = nome;
      return true;
    }
    if (errno != EEXIST) {
      erro = destino_ + ": " + std::strerror(errno);
      return false;
    }
  }
  erro = destino_ + ": n\u00e3o foi poss\u00edvel criar um arquivo tempor\u00e1rio";
  return false;
}

bool ArquivoSaida::concluir(std::string& erro) {
  if (!f_) {
    erro = destino_ + ": arquivo n\u00e3o aberto";
    return false;
  }
  bool falhou = std::fflush(f_) != 0 || std::ferror(f_);
  int e = errno;
  if (std::fclose(f_) != 0 && !falhou) {
    falhou = true;
    e = errno;
  }
  f_ = nullptr;
  if (falhou) {
    erro = destino_ + ": erro de escrita: " + std::strerror(e ? e : EIO);
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(temporario_, destino_, ec);
  if (ec) {
    erro = destino_ + ": " + ec.message();
    return false;
  }
  temporario_.clear();
  return true;
}

}  // namespace graficos
