// The report's layout: its fixed texts and where its fields sit.
//
// The program writes the report from these (dados builds its formats from them,
// listagem edits the solution records to them) and calor2d-graficos checks a
// report against them, so writer and reader cannot drift apart. Texts are
// Windows-1252 bytes, as written. Header only, with nothing but the standard
// library, so the reader takes none of the program's units with it.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <string_view>

namespace leiaute {

// A text put together at compile time, up to N bytes, NUL-terminated. Going past
// N stops the compilation (abort is no constant expression).
template <std::size_t N>
struct Texto {
  char c[N + 1] = {};
  std::size_t n = 0;

  constexpr Texto& operator<<(char ch) {
    if (n == N) std::abort();
    c[n++] = ch;
    return *this;
  }
  constexpr Texto& operator<<(std::string_view s) {
    for (char ch : s) *this << ch;
    return *this;
  }
  constexpr Texto& operator<<(int v) {
    if (v < 0) std::abort();
    char d[10] = {};
    int k = 0;
    do {
      d[k++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v > 0);
    while (k > 0) *this << d[--k];
    return *this;
  }
  template <std::size_t M>
  constexpr Texto& operator<<(const Texto<M>& t) {
    return *this << t.vista();
  }
  constexpr std::string_view vista() const { return {c, n}; }
};

// Reals are 1P,E25.15 everywhere; counts I10; the processing time F15.3.
inline constexpr int escala_e = 1, largura_e = 25, digitos_e = 15;
inline constexpr int largura_i = 10;
inline constexpr int largura_f = 15, digitos_f = 3;
inline constexpr Texto<8> descritor_e = [] {
  Texto<8> t;
  t << 'E' << largura_e << '.' << digitos_e;
  return t;
}();
inline constexpr Texto<8> descritor_i = [] {
  Texto<8> t;
  t << 'I' << largura_i;
  return t;
}();
inline constexpr Texto<8> descritor_f = [] {
  Texto<8> t;
  t << 'F' << largura_f << '.' << digitos_f;
  return t;
}();

inline constexpr std::string_view titulo = "Difus\xE3o de Calor 2DP em Placa Plana sem Gera\xE7\xE3o de Calor";

// A section opens with three lines as wide as the line of stars; the middle one
// is the section's name, a blank, and stars to the same width.
inline constexpr int largura_faixa = 104;
constexpr Texto<largura_faixa> faixa(std::string_view nome) {
  Texto<largura_faixa> t;
  if (!nome.empty()) t << nome << ' ';
  while (t.n < largura_faixa) t << '*';
  return t;
}
inline constexpr Texto<largura_faixa> estrelas = faixa("");
// clang-format off
inline constexpr Texto<largura_faixa> faixa_fisicos = faixa("Par\xE2metros F\xEDsicos");
inline constexpr Texto<largura_faixa> faixa_numericos = faixa("Par\xE2metros Num\xE9ricos");
inline constexpr Texto<largura_faixa> faixa_solucoes = faixa("Solu\xE7\xF5" "es");

// The parameters: the value in columns 1 to its width, the label from this column.
inline constexpr int coluna_rotulo = 30;
inline constexpr std::string_view rotulo_Lx = " = Lx:     comprimento do dom\xEDnio [m]";
inline constexpr std::string_view rotulo_Ly = " = Ly:     altura do dom\xEDnio [m]";
inline constexpr std::string_view rotulo_Nx = " = Nx:     n\xFAmero de n\xF3s da malha, dire\xE7\xE3o x";
inline constexpr std::string_view rotulo_Ny = " = Ny:     n\xFAmero de n\xF3s da malha, dire\xE7\xE3o y";
inline constexpr std::string_view rotulo_itmax = " = itmax:  n\xFAmero m\xE1ximo de itera\xE7\xF5" "es a ser efetuada";
inline constexpr std::string_view rotulo_tol = " = tol:    toler\xE2ncia m\xE1xima admitida";
inline constexpr std::string_view rotulo_it = " = it:     itera\xE7\xF5" "es realizadas";
inline constexpr std::string_view rotulo_L1it = " = L1(it): norma L1 adimensionalizada na \xFAltima itera\xE7\xE3o";

// The initial norms: the label, padded to the value's column, then the value.
inline constexpr int coluna_norma = 60;
inline constexpr std::string_view rotulo_norma_L1 = "Norma L1 com base no campo inicial de temperaturas:        ";
inline constexpr std::string_view rotulo_norma_L2 = "Norma L2 com base no campo inicial de temperaturas:        ";
inline constexpr std::string_view rotulo_norma_Linf = "Norma L-infinito com base no campo inicial de temperaturas:";
static_assert(rotulo_norma_L1.size() == coluna_norma - 1 && rotulo_norma_L2.size() == coluna_norma - 1 &&
              rotulo_norma_Linf.size() == coluna_norma - 1);

// The means and the time: the label, then the value from this column.
inline constexpr int coluna_final = 45;
inline constexpr std::string_view rotulo_Tm_a = "Temperatura m\xE9" "dia (anal\xEDtica):";
inline constexpr std::string_view rotulo_Tm_n = "Temperatura m\xE9" "dia (num\xE9rica):";
inline constexpr std::string_view rotulo_Tm_erro = "Erro num\xE9rico:";
// clang-format on
inline constexpr std::string_view rotulo_tempo = "Tempo de processamento (em segundos):";

// A table heading: each text from its 1-based column.
struct Coluna {
  int coluna;
  std::string_view texto;
};
inline constexpr Coluna cabecalho_historico[] = {
    {1, "  itera\xE7\xE3o"}, {15, "L1(it)/L1(0)"}, {40, "L2(it)/L2(0)"}, {65, "Linf(it)/Linf(0)"}};
inline constexpr Coluna cabecalho_solucoes[] = {{5, "Posi\xE7\xE3o x"},
                                                {30, "Posi\xE7\xE3o y"},
                                                {55, "Temp. num\xE9rica"},
                                                {80, "Temp. anal\xEDtica"},
                                                {105, "Erro num\xE9rico"}};

// The writer's tabs only ever move forward, so a line can be rebuilt by padding
// to each column in turn: no text reaches the next one.
template <std::size_t N>
constexpr bool em_ordem(const Coluna (&colunas)[N]) {
  for (std::size_t k = 0; k + 1 < N; ++k)
    if (colunas[k].coluna + static_cast<int>(colunas[k].texto.size()) > colunas[k + 1].coluna) return false;
  return true;
}
static_assert(em_ordem(cabecalho_historico) && em_ordem(cabecalho_solucoes));
static_assert(largura_e < coluna_rotulo && largura_i < coluna_rotulo);
static_assert(rotulo_Tm_a.size() < coluna_final && rotulo_Tm_n.size() < coluna_final &&
              rotulo_Tm_erro.size() < coluna_final && rotulo_tempo.size() < coluna_final);

// A history line is k (I10) and three ratios; a solution line five reals: x, y,
// numerical and analytical temperature, their difference.
inline constexpr int reais_historico = 3, reais_solucao = 5;
inline constexpr int largura_historico = largura_i + reais_historico * largura_e;
inline constexpr int largura_solucao = reais_solucao * largura_e;

}  // namespace leiaute
