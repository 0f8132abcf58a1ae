// Plain and fast Gauss-Seidel side by side on the program's plate, measured
// against the floor of the method: the L1 sum is one dependent chain of
// additions in node order, so no solver on one thread can beat s = s + |a[i]|
// per node. The two-thread solver is timed on the best path.
//
// Before timing anything, every fast path, on one thread and on two, is run once
// against the reference on each case and the program aborts unless all
// histories, the iteration count and the field have the same bits.
//
// Times are wall times (a second thread's work does not show in the first's CPU
// time); with --benchmark_repetitions the ratios use the medians.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "coeficientes.h"
#include "runtime/fpe.h"
#include "solvers/solvers.h"
#include "solvers/wavefront.h"
#include "solvers/threads.h"
#include "variaveis.h"

namespace {

namespace v = variaveis;
using solvers::fast::Path;

struct Case {
  const char* id;
  double Lx, Ly;
  int Nx, Ny, itmax;
  double tol;
  const char* note;
};

const Case cases[] = {
    {"a", 1, 1, 101, 101, 100000, 1e-8, "stops near sweep 15400"},
    // The program would run 20000 sweeps; 2000 keep the reference under a second
    // and change nothing per node and sweep.
    {"b", 1, 1, 301, 301, 2000, 1e-12, "runs to itmax"},
    {"d", 1, 4, 41, 161, 100000, 1e-10, "tall plate"},
};

// The solver's inputs as the run sequence leaves them just before it.
struct Setup {
  double aP, aE, aN, tol;
  int Nx, Ny, itmax;
  std::vector<double> T, L1, L2, Linf;
};

Setup program_setup(const Case& c) {
  v::reset();
  v::Lx = c.Lx;
  v::Ly = c.Ly;
  v::Nx = c.Nx;
  v::Ny = c.Ny;
  v::itmax = c.itmax;
  v::tol = c.tol;
  v::pi = rt::m_acos(-1.0);
  v::N = c.Nx * c.Ny;
  v::T.assign(static_cast<std::size_t>(v::N) + 1, 0.0);
  v::x.assign(static_cast<std::size_t>(c.Nx) + 1, 0.0);
  v::y.assign(static_cast<std::size_t>(c.Ny) + 1, 0.0);
  v::L1.assign(static_cast<std::size_t>(c.itmax) + 1, 0.0);
  v::L2.assign(static_cast<std::size_t>(c.itmax) + 1, 0.0);
  v::Linf.assign(static_cast<std::size_t>(c.itmax) + 1, 0.0);
  v::dx = v::Lx / (v::Nx - 1.0);
  v::dy = v::Ly / (v::Ny - 1.0);
  for (int i = 1; i <= v::Nx; ++i) v::x[i] = (i - 1.0) * v::dx;
  for (int j = 1; j <= v::Ny; ++j) v::y[j] = (j - 1.0) * v::dy;
  coeficientes::coefficients();
  coeficientes::bc_top();
  coeficientes::bc_bottom();
  coeficientes::bc_left();
  coeficientes::bc_right();
  solvers::norm_L1(v::aP, v::aE, v::aN, v::Nx, v::Ny, v::T.data(), v::L1[0]);
  solvers::norm_L2(v::aP, v::aE, v::aN, v::Nx, v::Ny, v::T.data(), v::L2[0]);
  solvers::norm_Linf(v::aP, v::aE, v::aN, v::Nx, v::Ny, v::T.data(), v::Linf[0]);
  return {v::aP, v::aE, v::aN, v::tol, v::Nx, v::Ny, v::itmax, v::T,
          {v::L1.begin(), v::L1.end()}, {v::L2.begin(), v::L2.end()}, {v::Linf.begin(), v::Linf.end()}};
}

struct Outcome {
  std::vector<double> T, L1, L2, Linf;
  int it = 0;
};

enum class Solver { reference, fast, two_threads };

void solve(const Setup& s, Solver solver, Path path, Outcome& o) {
  o.T = s.T;
  o.L1 = s.L1;
  o.L2 = s.L2;
  o.Linf = s.Linf;
  if (solver == Solver::reference) {
    solvers::gauss_seidel_reference(s.aP, s.aE, s.aN, s.itmax, s.tol, s.Nx, s.Ny, o.L1.data(), o.L2.data(),
                                    o.Linf.data(), o.it, o.T.data());
  } else if (solver == Solver::two_threads) {
    solvers::pipeline::gauss_seidel_two_threads(path, s.aP, s.aE, s.aN, s.itmax, s.tol, s.Nx, s.Ny, o.L1.data(),
                                                o.L2.data(), o.Linf.data(), o.it, o.T.data());
  } else {
    solvers::fast::gauss_seidel_on(path, s.aP, s.aE, s.aN, s.itmax, s.tol, s.Nx, s.Ny, o.L1.data(), o.L2.data(),
                                   o.Linf.data(), o.it, o.T.data());
  }
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

std::vector<Path> paths() {
  std::vector<Path> out;
  for (Path p : {Path::avx512, Path::avx2, Path::portable})
    if (solvers::fast::supported(p)) out.push_back(p);
  return out;
}

// Node-iterations of the last timed solve, per benchmark name.
std::map<std::string, double> node_iterations;

void verify_all(const std::vector<Setup>& setups) {
  for (std::size_t c = 0; c < setups.size(); ++c) {
    Outcome want;
    solve(setups[c], Solver::reference, Path::portable, want);
    for (Path p : paths()) {
      for (Solver solver : {Solver::fast, Solver::two_threads}) {
        Outcome got;
        solve(setups[c], solver, p, got);
        if (got.it != want.it || !same_bits(got.L1, want.L1) || !same_bits(got.L2, want.L2) ||
            !same_bits(got.Linf, want.Linf) || !same_bits(got.T, want.T)) {
          std::fprintf(stderr, "case %s, path %s%s: results differ from the reference\n", cases[c].id,
                       solvers::fast::name(p), solver == Solver::two_threads ? " on two threads" : "");
          std::abort();
        }
      }
    }
    std::printf("case %s: %dx%d, %d sweeps (%s); every path and both solvers bit-identical to the reference\n",
                cases[c].id,
                cases[c].Nx, cases[c].Ny, want.it, cases[c].note);
  }
}

constexpr int floor_length = 1 << 16;

void floor_sum(benchmark::State& state) {
  std::vector<double> a(floor_length);
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  for (double& x : a) x = value(rng);
  for (auto _ : state) {
    double s = 0.0;
    for (double x : a) s = s + std::fabs(x);
    benchmark::DoNotOptimize(s);
  }
  node_iterations["floor"] = floor_length;
}

class Collector : public benchmark::ConsoleReporter {
 public:
  // Wall seconds per benchmark iteration, by name without the repetition suffixes:
  // the median when there are repetitions, else the single run.
  std::map<std::string, double> seconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const std::string name = r.run_name.function_name;
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
        seconds[name] = r.real_accumulated_time / static_cast<double>(r.iterations);
        medians.insert(name);
      } else if (r.run_type == Run::RT_Iteration && r.iterations > 0 && !medians.count(name)) {
        seconds[name] = r.real_accumulated_time / static_cast<double>(r.iterations);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  std::set<std::string> medians;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::vector<Setup> setups;
  for (const Case& c : cases) setups.push_back(program_setup(c));
  verify_all(setups);

  benchmark::RegisterBenchmark("floor", floor_sum)->Unit(benchmark::kMicrosecond)->UseRealTime();
  const Path best = solvers::fast::best_path();
  for (std::size_t c = 0; c < setups.size(); ++c) {
    const std::string id = cases[c].id;
    const Setup* s = &setups[c];
    const double nodes = (s->Nx - 2.0) * (s->Ny - 2.0);
    const auto add = [&](const std::string& name, Solver solver, Path path) {
      benchmark::RegisterBenchmark(name.c_str(),
                                   [s, solver, path, nodes, name](benchmark::State& state) {
                                     Outcome o;
                                     for (auto _ : state) {
                                       solve(*s, solver, path, o);
                                       benchmark::DoNotOptimize(o.T.data());
                                     }
                                     node_iterations[name] = nodes * o.it;
                                   })
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    };
    add(id + "/reference", Solver::reference, Path::portable);
    for (Path p : paths()) add(id + "/fast_" + solvers::fast::name(p), Solver::fast, p);
    add(id + "/two_threads_" + solvers::fast::name(best), Solver::two_threads, best);
  }

  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);

  const auto per_node = [&](const std::string& name) {
    const auto t = collector.seconds.find(name);
    const auto n = node_iterations.find(name);
    return t == collector.seconds.end() || n == node_iterations.end() ? 0.0 : t->second / n->second * 1e9;
  };
  const double floor = per_node("floor");
  const auto row = [&](const char* id, const char* label, double t, double ref, double one_thread) {
    char speedup[32] = "", versus[32] = "";
    if (ref != t) std::snprintf(speedup, sizeof speedup, "%.2fx faster", ref / t);
    if (one_thread > 0) std::snprintf(versus, sizeof versus, "%.2fx", one_thread / t);
    std::printf("%-4s %-20s %12.3f %14s %14s %11.2fx\n", id, label, t, speedup, versus,
                floor > 0 ? t / floor : 0.0);
  };
  std::printf("\nfloor: %.3f ns per dependent addition (wall times; medians if repeated)\n", floor);
  std::printf("%-4s %-20s %12s %14s %14s %12s\n", "case", "solver", "ns/node-it", "vs reference",
              "vs one thread", "vs floor");
  const std::string best_fast = std::string("/fast_") + solvers::fast::name(best);
  for (const Case& c : cases) {
    const double ref = per_node(std::string(c.id) + "/reference");
    if (ref == 0.0) continue;
    row(c.id, "reference", ref, ref, 0.0);
    for (Path p : paths()) {
      const double fast = per_node(std::string(c.id) + "/fast_" + solvers::fast::name(p));
      if (fast != 0.0) row(c.id, solvers::fast::name(p), fast, ref, 0.0);
    }
    const double two = per_node(std::string(c.id) + "/two_threads_" + solvers::fast::name(best));
    const std::string label = std::string(solvers::fast::name(best)) + ", two threads";
    if (two != 0.0) row(c.id, label.c_str(), two, ref, per_node(std::string(c.id) + best_fast));
  }
  benchmark::Shutdown();
  return 0;
}
