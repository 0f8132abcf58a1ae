// Plain and fast Gauss-Seidel side by side on the program's plate, measured
// against the limits of a sweep: the sweep alone with no norms, one AVX-512
// division per 8 nodes, and the ordered-addition floor (s = s + |a[i]|), which
// binds only the sweeps whose norms the report prints.
//
// Before timing anything, every fast path, on one thread and on every usable
// processor, is run once against the reference on each case and the program
// aborts unless it, the field and every printed history element have the same
// bits.
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
#include "solvers/dispatch.h"
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
    {"e", 1, 1, 1001, 1001, 300, 1e-12, "runs to itmax"},
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
  return {v::aP,
          v::aE,
          v::aN,
          v::tol,
          v::Nx,
          v::Ny,
          v::itmax,
          v::T,
          {v::L1.begin(), v::L1.end()},
          {v::L2.begin(), v::L2.end()},
          {v::Linf.begin(), v::Linf.end()}};
}

struct Outcome {
  std::vector<double> T, L1, L2, Linf;
  int it = 0;
};

// The ways timed: the reference; the fast solver on one thread or on every
// usable processor, with hist_step 1000 (as the program runs these cases) or 1
// (every sweep's norms, as the solver formed them on every sweep before); the
// sweep alone, with no norm and no test, for as many sweeps as the fast solver
// makes.
enum class Way { reference, fast, fast_threads, every_norm, sweep_alone };
constexpr int hist_step = 1000;

void solve(const Setup& s, Way way, Path path, Outcome& o, int sweeps = 0) {
  o.T = s.T;
  o.L1 = s.L1;
  o.L2 = s.L2;
  o.Linf = s.Linf;
  if (way == Way::reference) {
    solvers::gauss_seidel_reference(s.aP, s.aE, s.aN, s.itmax, s.tol, s.Nx, s.Ny, o.L1.data(), o.L2.data(),
                                    o.Linf.data(), o.it, o.T.data());
    return;
  }
  if (way == Way::sweep_alone) {
    for (int k = 0; k < sweeps; ++k) solvers::fast::sweep(path, s.aP, s.aE, s.aN, s.Nx, s.Ny, o.T.data());
    o.it = sweeps;
    return;
  }
  solvers::dispatch::Options options = solvers::dispatch::program_options(way == Way::every_norm ? 1 : hist_step);
  options.path = path;
  if (way != Way::fast_threads) options.threads = 1;
  solvers::dispatch::solve(options, s.aP, s.aE, s.aN, s.itmax, s.tol, s.Nx, s.Ny, o.L1.data(), o.L2.data(),
                           o.Linf.data(), o.it, o.T.data());
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// it, the field and the printed history elements.
bool same_report(const Outcome& got, const Outcome& want, int step) {
  if (got.it != want.it || !same_bits(got.T, want.T)) return false;
  for (int k = 0;; k += step) {
    const int e = k > want.it ? want.it : k;
    if (!same_bits(got.L1[e], want.L1[e]) || !same_bits(got.L2[e], want.L2[e]) || !same_bits(got.Linf[e], want.Linf[e]))
      return false;
    if (k >= want.it) return true;
  }
}

std::vector<Path> paths() {
  std::vector<Path> out;
  for (Path p : {Path::avx512, Path::avx2, Path::portable})
    if (solvers::fast::supported(p)) out.push_back(p);
  return out;
}

// Node-iterations of the last timed solve, per benchmark name.
std::map<std::string, double> node_iterations;
std::vector<int> sweeps_of;  // per case, the reference's it

void verify_all(const std::vector<Setup>& setups) {
  for (std::size_t c = 0; c < setups.size(); ++c) {
    Outcome want;
    solve(setups[c], Way::reference, Path::portable, want);
    sweeps_of.push_back(want.it);
    for (Path p : paths()) {
      for (Way way : {Way::fast, Way::fast_threads, Way::every_norm}) {
        Outcome got;
        solve(setups[c], way, p, got);
        if (!same_report(got, want, way == Way::every_norm ? 1 : hist_step)) {
          std::fprintf(stderr, "case %s, path %s, way %d: the report would differ from the reference's\n", cases[c].id,
                       solvers::fast::name(p), static_cast<int>(way));
          std::abort();
        }
      }
    }
    std::printf("case %s: %dx%d, %d sweeps (%s); every path and thread count gives the reference's report\n",
                cases[c].id, cases[c].Nx, cases[c].Ny, want.it, cases[c].note);
  }
}

constexpr int floor_length = 1 << 16;

// The ordered-addition floor: one dependent addition a node.
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

#if defined(__x86_64__)
typedef double Vec8 __attribute__((vector_size(64)));
constexpr int division_vectors = 24;  // as many as a wavefront step of the AVX-512 sweep keeps in flight
constexpr int division_rounds = 4096;

// One AVX-512 division a vector of 8 nodes, 24 independent chains: the
// division unit's throughput, the limit of a sweep that does nothing else.
__attribute__((target("avx512f"), noinline)) double divisions(double by) {
  Vec8 v[division_vectors];
  for (int i = 0; i < division_vectors; ++i)
    for (int l = 0; l < 8; ++l) v[i][l] = 1.0 + i + l;
  for (int r = 0; r < division_rounds; ++r)
    for (int i = 0; i < division_vectors; ++i) v[i] = v[i] / by;
  double s = 0;
  for (int i = 0; i < division_vectors; ++i) s += v[i][0];
  return s;
}

void division_limit(benchmark::State& state) {
  volatile double one = 1.0;
  for (auto _ : state) benchmark::DoNotOptimize(divisions(one));
  node_iterations["division"] = 8.0 * division_vectors * division_rounds;
}
#endif

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
#if defined(__x86_64__)
  const bool avx512 = solvers::fast::supported(Path::avx512);
  if (avx512) benchmark::RegisterBenchmark("division", division_limit)->Unit(benchmark::kMicrosecond)->UseRealTime();
#endif
  const Path best = solvers::fast::best_path();
  const int processors = solvers::dispatch::program_options(1).threads;
  for (std::size_t c = 0; c < setups.size(); ++c) {
    const std::string id = cases[c].id;
    const Setup* s = &setups[c];
    const int sweeps = sweeps_of[c];
    const double nodes = (s->Nx - 2.0) * (s->Ny - 2.0);
    const auto add = [&](const std::string& name, Way way, Path path) {
      benchmark::RegisterBenchmark(name.c_str(),
                                   [s, way, path, nodes, name, sweeps](benchmark::State& state) {
                                     Outcome o;
                                     for (auto _ : state) {
                                       solve(*s, way, path, o, sweeps);
                                       benchmark::DoNotOptimize(o.T.data());
                                     }
                                     node_iterations[name] = nodes * o.it;
                                   })
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    };
    add(id + "/reference", Way::reference, Path::portable);
    add(id + "/every_norm", Way::every_norm, best);
    for (Path p : paths()) add(id + "/fast_" + solvers::fast::name(p), Way::fast, p);
    if (processors > 1) add(id + "/threads", Way::fast_threads, best);
    add(id + "/sweep_alone", Way::sweep_alone, best);
  }

  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);

  const auto per_node = [&](const std::string& name) {
    const auto t = collector.seconds.find(name);
    const auto n = node_iterations.find(name);
    return t == collector.seconds.end() || n == node_iterations.end() ? 0.0 : t->second / n->second * 1e9;
  };
  const double floor = per_node("floor");
  const double division = per_node("division");
  std::printf("\nper node: ordered-addition floor %.3f ns", floor);
  if (division > 0) std::printf(", one AVX-512 division per 8 nodes %.3f ns", division);
  std::printf(" (wall times; medians if repeated)\n");
  std::printf("%-4s %-22s %10s %12s %12s %12s %10s %10s\n", "case", "solver", "ns/node-it", "vs reference", "vs every",
              "vs alone", "vs floor", "vs div");
  const auto row = [&](const char* id, const std::string& label, double t, double ref, double every, double alone) {
    std::printf("%-4s %-22s %10.3f %11.2fx %11.2fx %11.2fx %9.2fx %9.2fx\n", id, label.c_str(), t, ref / t, every / t,
                alone / t, floor > 0 ? t / floor : 0.0, division > 0 ? t / division : 0.0);
  };
  for (const Case& c : cases) {
    const std::string id = c.id;
    const double ref = per_node(id + "/reference");
    const double every = per_node(id + "/every_norm");
    const double alone = per_node(id + "/sweep_alone");
    if (ref == 0.0 || every == 0.0 || alone == 0.0) continue;
    row(c.id, "reference", ref, ref, every, alone);
    row(c.id, std::string("every sweep's norms, ") + solvers::fast::name(best), every, ref, every, alone);
    for (Path p : paths()) {
      const double fast = per_node(id + "/fast_" + solvers::fast::name(p));
      if (fast != 0.0) row(c.id, std::string("one thread, ") + solvers::fast::name(p), fast, ref, every, alone);
    }
    const double threads = per_node(id + "/threads");
    if (threads != 0.0)
      row(c.id, std::to_string(processors) + " threads, " + solvers::fast::name(best), threads, ref, every, alone);
    row(c.id, std::string("sweep alone, ") + solvers::fast::name(best), alone, ref, every, alone);
  }
  benchmark::Shutdown();
  return 0;
}
