// What a run of the companion does with files: read a report, naming the line
// that is wrong, and write its products one after the other, each whole or not
// at all, never over a report being read.
#pragma once

#include <cairo.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "desenho.h"
#include "relatorio.h"

namespace graficos {

constexpr const char* programa = "calor2d-graficos";

// Reads the report at `caminho`. On failure writes "calor2d-graficos: FILE:LINE:
// esperado ...; encontrado ..." (or the system's reason) to `diag` and returns
// false. For more than `nos_para_progresso` nodes the progress goes to `diag`.
constexpr std::int64_t nos_para_progresso = 100000;
bool ler_arquivo(const std::string& caminho, Relatorio& rel, std::FILE* diag);

// One output file and how to write it (false with the message set on failure).
struct Tarefa {
  std::string caminho;
  std::function<bool(const std::string&, std::string&)> fazer;
};

// A figure in each format asked for: `base` + ".png" and/or ".svg".
void figura(std::vector<Tarefa>& tarefas, bool png, bool svg, const std::string& base, int largura, int altura,
            std::function<void(cairo_t*)> desenhar);

// Creates `pasta` when it is missing; false with the reason on `diag`.
bool preparar_pasta(const std::string& pasta, std::FILE* diag);

// Refuses the whole list, writing nothing, when one of its paths is one of the
// `relatorios` read; otherwise writes each in turn (announced on `diag` when
// `anunciar`), its path on `saida`. Returns the exit status: 0, or 1 at the first
// failure, which is reported on `diag`.
int cumprir(const std::vector<Tarefa>& tarefas, const std::vector<std::string>& relatorios, std::FILE* saida,
            std::FILE* diag, bool anunciar = false);

}  // namespace graficos
