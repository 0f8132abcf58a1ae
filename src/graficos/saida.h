// Output files that appear whole or not at all.
//
// Bytes go to a temporary file beside the destination, which replaces the
// destination only once everything was written and the file closed without
// error; a failure midway (full disk, a cairo error) leaves any older file of
// that name as it was and no partial file behind.
#pragma once

#include <cstdio>
#include <string>

namespace graficos {

class ArquivoSaida {
 public:
  explicit ArquivoSaida(std::string destino) : destino_(std::move(destino)) {}
  ~ArquivoSaida();
  ArquivoSaida(const ArquivoSaida&) = delete;
  ArquivoSaida& operator=(const ArquivoSaida&) = delete;

  // Creates the temporary file; false with `erro` set when it cannot.
  bool abrir(std::string& erro);
  std::FILE* arquivo() const { return f_; }
  // Flushes, closes and renames over the destination; false with `erro` set on
  // any failure, including an earlier failed write on the stream.
  bool concluir(std::string& erro);

 private:
  std::string destino_, temporario_;
  std::FILE* f_ = nullptr;
};

}  // namespace graficos
