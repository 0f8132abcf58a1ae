// Whole case (c) of the benchmark set: a 1001 x 1001 plate, 200 sweeps, every node
// listed (a report of about 127 MB). The report is written three ways side by side,
// all giving the same bytes: with the program's number editing, with the plain
// big-integer conversion it falls back on, and with a complete decimal expansion
// per value (the C library's, up to 767 digits). The solver is timed as the plain
// reference and as the program's fast solver on the same initial field.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../tests/exact_expansion.h"
#include "coeficientes.h"
#include "dados.h"
#include "principal.h"
#include "runtime/number_edit.h"
#include "solvers/solvers.h"
#include "variaveis.h"

namespace {

namespace v = variaveis;

constexpr char case_text[] = "'relatorio_c.txt'\n1.0\n1.0\n1001\n1001\n200\n1.0d-8\n1\n10\n";

std::string read_all(const char* name) {
  std::ifstream f(name, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// The report up to its last record, which holds the processing time.
std::string without_time(const std::string& report) { return report.substr(0, report.rfind("Tempo de processamento")); }

std::vector<double> initial_T;  // the field the solver starts from

void write_with(rt::DecimalSource source, benchmark::State& state) {
  rt::set_decimal_source(source);
  for (auto _ : state) dados::write_report();
  rt::set_decimal_source(nullptr);
}

void solve(bool reference, benchmark::State& state) {
  std::vector<double> T, L1(v::L1.size()), L2(v::L2.size()), Linf(v::Linf.size());
  L1[0] = v::L1[0];
  L2[0] = v::L2[0];
  Linf[0] = v::Linf[0];
  int it = 0;
  for (auto _ : state) {
    T = initial_T;
    if (reference) {
      solvers::gauss_seidel_reference(v::aP, v::aE, v::aN, v::itmax, v::tol, v::Nx, v::Ny, L1.data(), L2.data(),
                                      Linf.data(), it, T.data());
    } else {
      solvers::gauss_seidel(v::aP, v::aE, v::aN, v::itmax, v::tol, v::Nx, v::Ny, L1.data(), L2.data(), Linf.data(), it,
                            T.data(), v::hist_step);
    }
    benchmark::DoNotOptimize(T.data());
  }
}

class Collector : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> seconds;  // wall seconds per iteration
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        seconds[r.benchmark_name()] = r.real_accumulated_time / static_cast<double>(r.iterations);
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  char folder[] = "/tmp/calor2d-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr || chdir(folder) != 0) return 1;
  setenv("COMSPEC", "/bin/true", 1);  // the editor launches become no-ops
  std::FILE* f = std::fopen("entrada_geral.ent", "wb");
  std::fputs(case_text, f);
  std::fclose(f);

  // One whole run leaves the state the report needs; rebuild the starting field.
  principal::run();
  const std::string fast_report = without_time(read_all("relatorio_c.txt"));
  initial_T.assign(v::T.size(), 0.0);
  std::swap(initial_T, v::T);
  coeficientes::bc_top();
  coeficientes::bc_bottom();
  coeficientes::bc_left();
  coeficientes::bc_right();
  std::swap(initial_T, v::T);

  using benchmark::RegisterBenchmark;
  RegisterBenchmark("c/run_fast",
                    [](benchmark::State& s) {
                      for (auto _ : s) principal::run();
                    })
      ->Iterations(2)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
  RegisterBenchmark("c/solver_reference", [](benchmark::State& s) { solve(true, s); })
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
  RegisterBenchmark("c/solver_fast", [](benchmark::State& s) { solve(false, s); })
      ->Iterations(2)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
  RegisterBenchmark("c/report_fast", [](benchmark::State& s) { write_with(rt::decimal_form, s); })
      ->Iterations(2)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
  RegisterBenchmark("c/report_bigint", [](benchmark::State& s) { write_with(rt::decimal_form_reference, s); })
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
  RegisterBenchmark("c/report_expansion", [](benchmark::State& s) { write_with(exact::decimal_form, s); })
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();

  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);

  // Whatever was written last must be the same report as the program's own.
  if (without_time(read_all("relatorio_c.txt")) != fast_report) {
    std::fprintf(stderr, "reports differ\n");
    return 1;
  }
  // Names carry the run's settings after a slash ("c/run_fast/iterations:2/real_time").
  auto t = [&](const std::string& name) {
    auto it = collector.seconds.lower_bound(name + "/");
    return it != collector.seconds.end() && it->first.rfind(name + "/", 0) == 0 ? it->second : 0.0;
  };
  const double run = t("c/run_fast"), sref = t("c/solver_reference"), sfast = t("c/solver_fast");
  const double rfast = t("c/report_fast"), rbig = t("c/report_bigint"), rexp = t("c/report_expansion");
  std::printf("\ncase c: %zu bytes of report, identical whichever conversion writes it\n", fast_report.size());
  if (rfast > 0 && rbig > 0)
    std::printf("report writing: %.1fx faster than the big-integer conversion\n", rbig / rfast);
  if (rfast > 0 && rexp > 0)
    std::printf("report writing: %.1fx faster than a full expansion per value\n", rexp / rfast);
  if (sfast > 0 && sref > 0) std::printf("solver: %.1fx faster than the plain reference\n", sref / sfast);
  if (run > 0 && sref > 0 && rexp > 0) {
    // The plain run: the same run with the plain solver and full expansions in
    // place of the fast ones, composed from the parts measured above.
    const double plain = run - sfast - rfast + sref + rexp;
    std::printf("whole run: %.2f s against %.2f s for the plain run, %.1fx faster\n", run, plain, plain / run);
  }
  benchmark::Shutdown();
  return 0;
}
