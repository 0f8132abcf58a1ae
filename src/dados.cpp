#include "dados.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "runtime/command.h"
#include "runtime/errors.h"
#include "runtime/format_output.h"
#include "runtime/invariant.h"
#include "runtime/list_input.h"
#include "runtime/run.h"
#include "runtime/units.h"
#include "leiaute.h"
#include "listagem.h"
#include "variaveis.h"

namespace dados {

using namespace variaveis;

namespace {

constexpr char case_name[] = "entrada_geral.ent";

// The case file as it was read, so a report that lands on it is caught however it was named.
rt::FileIdentity case_file;

// The report's formats, built from its layout as the formatter walks them.
using Formato = leiaute::Texto<1024>;

// A literal, its apostrophes doubled.
constexpr void texto(Formato& f, std::string_view t) {
  f << '\'';
  for (char c : t) {
    if (c == '\'') f << c;
    f << c;
  }
  f << '\'';
}
static_assert([] {
  Formato f;
  texto(f, "d'a");
  return f.vista() == "'d''a'";
}());
constexpr void real(Formato& f) { f << leiaute::escala_e << "P," << leiaute::descritor_e; }
constexpr void coluna(Formato& f, int c) { f << 'T' << c << ','; }
constexpr void faixa(Formato& f, const leiaute::Texto<leiaute::largura_faixa>& nome) {
  texto(f, leiaute::estrelas.vista());
  f << ",/,";
  texto(f, nome.vista());
  f << ",/,";
  texto(f, leiaute::estrelas.vista());
  f << ",2/,";
}
// A parameter: its value, then its label at the label column.
constexpr void parametro_e(Formato& f, std::string_view rotulo) {
  real(f);
  f << ',';
  coluna(f, leiaute::coluna_rotulo);
  texto(f, rotulo);
}
constexpr void parametro_i(Formato& f, std::string_view rotulo) {
  f << leiaute::descritor_i << ',';
  coluna(f, leiaute::coluna_rotulo);
  texto(f, rotulo);
}
constexpr void norma(Formato& f, std::string_view rotulo) {
  texto(f, rotulo);
  f << ',';
  real(f);
}
constexpr void final_e(Formato& f, std::string_view rotulo) {
  texto(f, rotulo);
  f << ',';
  coluna(f, leiaute::coluna_final);
  real(f);
}
template <std::size_t N>
constexpr void cabecalho(Formato& f, const leiaute::Coluna (&colunas)[N]) {
  for (std::size_t k = 0; k < N; ++k) {
    if (k > 0) f << ',';
    if (colunas[k].coluna > 1) coluna(f, colunas[k].coluna);
    texto(f, colunas[k].texto);
  }
}

// Lines of one kind after another, each its own record.
struct Linha {
  void (*escreve)(Formato&, std::string_view);
  std::string_view rotulo;
};
constexpr void linhas(Formato& f, std::initializer_list<Linha> ls) {
  std::string_view entre;
  for (const Linha& l : ls) {
    f << entre;
    l.escreve(f, l.rotulo);
    entre = ",/,";
  }
}
// n reals in one record.
constexpr void reais(Formato& f, int n) {
  f << n << '(';
  real(f);
  f << ')';
}
// A format: its opening, what `corpo` writes, the closing parenthesis.
template <class Corpo>
constexpr Formato formato(std::string_view abertura, Corpo corpo) {
  Formato f;
  f << abertura;
  corpo(f);
  f << ')';
  return f;
}

namespace L = leiaute;
constexpr Formato F1 = formato("(", [](Formato& f) {
  texto(f, L::titulo);
  f << ",2/,";
  faixa(f, L::faixa_fisicos);
  linhas(f, {{parametro_e, L::rotulo_Lx}, {parametro_e, L::rotulo_Ly}});
});
constexpr Formato F2 = formato("(2/,", [](Formato& f) {
  faixa(f, L::faixa_numericos);
  linhas(f, {{parametro_i, L::rotulo_Nx},
             {parametro_i, L::rotulo_Ny},
             {parametro_i, L::rotulo_itmax},
             {parametro_e, L::rotulo_tol},
             {parametro_i, L::rotulo_it},
             {parametro_e, L::rotulo_L1it}});
});
constexpr Formato F3 = formato("(/,", [](Formato& f) {
  linhas(f, {{norma, L::rotulo_norma_L1}, {norma, L::rotulo_norma_L2}, {norma, L::rotulo_norma_Linf}});
});
constexpr Formato F4 = formato("(2/,", [](Formato& f) { cabecalho(f, L::cabecalho_historico); });
constexpr Formato F5 = formato("(", [](Formato& f) {
  f << L::descritor_i << ',';
  reais(f, L::reais_historico);
});
constexpr Formato F6 = formato("(2/,", [](Formato& f) {
  faixa(f, L::faixa_solucoes);
  cabecalho(f, L::cabecalho_solucoes);
});
constexpr Formato F7 = formato("(", [](Formato& f) { reais(f, L::reais_solucao); });
constexpr Formato F8 = formato("(2/,", [](Formato& f) {
  linhas(f, {{final_e, L::rotulo_Tm_a}, {final_e, L::rotulo_Tm_n}, {final_e, L::rotulo_Tm_erro}});
});
constexpr Formato F9 = formato("(2/,", [](Formato& f) {
  texto(f, L::rotulo_tempo);
  f << ',';
  coluna(f, L::coluna_final);
  f << L::descritor_f;
});

[[noreturn]] void refuse(rt::Recusa r, std::initializer_list<std::string_view> values) {
  rt::write_stderr(rt::refusal_text(case_name, r, values));
  rt::terminate_run(1);
}

[[noreturn]] void refuse_case_overwrite(const std::string& name) {
  refuse(rt::Recusa::report_over_case, {name, case_name});
}

// Values the run could not survive are refused before anything else happens.
void check_case() {
  auto at_least_one = [](const char* name, int v) {
    if (v < 1) refuse(rt::Recusa::below_one, {name, std::to_string(v)});
  };
  at_least_one("Nx", Nx);
  at_least_one("Ny", Ny);
  at_least_one("itmax", itmax);
  at_least_one("hist_step", hist_step);
  std::int64_t nodes = static_cast<std::int64_t>(Nx) * Ny;
  if (nodes > INT32_MAX) refuse(rt::Recusa::too_many_nodes, {std::to_string(nodes)});
  // Writing the report over the case file would destroy the user's input. A blank
  // name is only known when the report is opened; write_report checks it there.
  std::string name = rt::unit_file_name(out_name, out_name_len);
  if (!name.empty() && rt::same_file(name, case_name)) refuse_case_overwrite(name);
}

void history_line(std::int64_t k) {
  double q1 = L1[k] / L1[0];
  double q2 = L2[k] / L2[0];
  double qinf = Linf[k] / Linf[0];
  rt::write_begin(1, F5.c);
  rt::write_int4(static_cast<std::int32_t>(k));
  rt::write_real8(q1);
  rt::write_real8(q2);
  rt::write_real8(qinf);
  rt::write_end();
}

void solution_line(std::int64_t i, std::int64_t j) {
  std::int64_t n = i + (j - 1) * Nx;
  rt::write_begin(1, F7.c);
  rt::write_real8(x[i]);
  rt::write_real8(y[j]);
  rt::write_real8(T[n]);
  rt::write_real8(Ta[n]);
  rt::write_real8(Ta[n] - T[n]);
  rt::write_end();
}

// One READ statement of one value on unit 1, which begins on a record of its own.
void read_one(double* v) {
  rt::list_read_begin(1);
  rt::list_read_real8(v);
  rt::list_read_end();
}
void read_one(int* v) {
  rt::list_read_begin(1);
  rt::list_read_int4(v);
  rt::list_read_end();
}

}  // namespace

void read_case() {
  // With no editor anywhere, a launch would only have the interpreter complain.
  if (rt::findable("notepad")) sys_status = rt::system("notepad entrada_geral.ent", 25);
  read_values();
  check_case();
}

void read_values() {
  rt::open_unit(1, case_name, 17);
  // A failed open ends the run, so unit 1 is connected from here on.
  const rt::unit_record* u = rt::find_unit(1);
  CALOR2D_ASSERT(u != nullptr);
  case_file = rt::identity(*u);
  rt::list_read_begin(1);
  rt::list_read_char(out_name, out_name_len);
  rt::list_read_end();
  read_one(&Lx);
  read_one(&Ly);
  read_one(&Nx);
  read_one(&Ny);
  read_one(&itmax);
  read_one(&tol);
  read_one(&sol_mode);
  read_one(&hist_step);
  rt::close_unit(1);
}

void write_report() {
  rt::open_unit(1, out_name, out_name_len);
  // Opening cuts nothing; only the first write would. So the case file is still whole here.
  const rt::unit_record* u = rt::find_unit(1);
  CALOR2D_ASSERT(u != nullptr);
  if (rt::identity(*u).same_file(case_file)) refuse_case_overwrite(u->name);

  rt::write_begin(1, F1.c);
  rt::write_real8(Lx);
  rt::write_real8(Ly);
  rt::write_end();

  rt::write_begin(1, F2.c);
  rt::write_int4(Nx);
  rt::write_int4(Ny);
  rt::write_int4(itmax);
  rt::write_real8(tol);
  rt::write_int4(it);
  rt::write_real8(L1[it]);
  rt::write_end();

  rt::write_begin(1, F3.c);
  rt::write_real8(L1[0]);
  rt::write_real8(L2[0]);
  rt::write_real8(Linf[0]);
  rt::write_end();

  rt::write_begin(1, F4.c);
  rt::write_end();

  // A line for every multiple of hist_step up to it, then one for it itself.
  const std::int64_t s = hist_step;
  const std::int64_t c = (it + s) / s;
  std::int64_t k = 0;
  for (std::int64_t line = 0; line < c; ++line) {
    history_line(k);
    k += s;
  }
  if (k - it != s) history_line(it);

  rt::write_begin(1, F6.c);
  rt::write_end();

  if (sol_mode == 1 && !listagem::write_all_nodes()) {
    for (std::int64_t j = 1; j <= Ny; ++j)
      for (std::int64_t i = 1; i <= Nx; ++i) solution_line(i, j);
  } else if (sol_mode == 2) {
    solution_line((static_cast<std::int64_t>(Nx) + 1) / 2, (static_cast<std::int64_t>(Ny) + 1) / 2);
  }

  rt::write_begin(1, F8.c);
  rt::write_real8(Tm_a);
  rt::write_real8(Tm_n);
  rt::write_real8(Tm_a - Tm_n);
  rt::write_end();

  rt::write_begin(1, F9.c);
  rt::write_real8(tcpu);
  rt::write_end();

  u = rt::find_unit(1);
  CALOR2D_ASSERT(u != nullptr);
  std::string shown = u->name;
  rt::close_unit(1);

  // The name goes to the interpreter as one word, so nothing in it runs as a command.
  std::string command;
  if (!rt::editor_command(shown, command)) return;
  if (rt::findable("notepad")) sys_status = rt::system(command.data(), static_cast<int>(command.size()));
}

}  // namespace dados
