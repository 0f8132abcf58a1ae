// The program's elementary functions against the C library's, per call, on the
// arguments a run meets: sin on [0, pi] (x(i)/Lx * pi), sinh on [0, pi] and on
// [0, 710] (tall plates), cosh on [0, 710]. Each benchmark sweeps the same 4096
// arguments; the ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "runtime/elementary.h"

namespace {

std::vector<double> args(double hi) {
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> uni(0.0, hi);
  std::vector<double> xs(4096);
  for (double& x : xs) x = uni(gen);
  return xs;
}

template <double (*F)(double)>
void sweep(benchmark::State& state, double hi) {
  const std::vector<double> xs = args(hi);
  for (auto _ : state) {
    double acc = 0.0;
    for (double x : xs) acc += F(x);
    benchmark::DoNotOptimize(acc);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(xs.size()));
}

double lib_sin(double x) { return std::sin(x); }
double lib_sinh(double x) { return std::sinh(x); }
double lib_cosh(double x) { return std::cosh(x); }

void own_sin(benchmark::State& s) { sweep<rt::m_sin>(s, 3.14159); }
void libc_sin(benchmark::State& s) { sweep<lib_sin>(s, 3.14159); }
void own_sinh_small(benchmark::State& s) { sweep<rt::m_sinh>(s, 3.14159); }
void libc_sinh_small(benchmark::State& s) { sweep<lib_sinh>(s, 3.14159); }
void own_sinh(benchmark::State& s) { sweep<rt::m_sinh>(s, 710.0); }
void libc_sinh(benchmark::State& s) { sweep<lib_sinh>(s, 710.0); }
void own_cosh(benchmark::State& s) { sweep<rt::m_cosh>(s, 710.0); }
void libc_cosh(benchmark::State& s) { sweep<lib_cosh>(s, 710.0); }

// Interleaved so that both sides of each pair see the same machine.
BENCHMARK(own_sin)->Repetitions(5);
BENCHMARK(libc_sin)->Repetitions(5);
BENCHMARK(own_sinh_small)->Repetitions(5);
BENCHMARK(libc_sinh_small)->Repetitions(5);
BENCHMARK(own_sinh)->Repetitions(5);
BENCHMARK(libc_sinh)->Repetitions(5);
BENCHMARK(own_cosh)->Repetitions(5);
BENCHMARK(libc_cosh)->Repetitions(5);

// Collects the medians and prints own / library per pair.
class Ratios : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.aggregate_name == "median") median_[r.run_name.function_name] = r.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const char* f : {"sin", "sinh_small", "sinh", "cosh"}) {
      const double own = median_["own_" + std::string(f)], lib = median_["libc_" + std::string(f)];
      if (lib > 0)
        std::printf("%-11s own / C library = %.2f (median of 5, %.1f vs %.1f ns per call)\n", f, own / lib, own / 4096,
                    lib / 4096);
    }
  }

 private:
  std::map<std::string, double> median_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Ratios reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  return 0;
}
