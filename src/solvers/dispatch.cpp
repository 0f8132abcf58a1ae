// The solve: runs of sweeps on every band between the printed sweeps, each run
// started from a copy of the field. A run whose sums leave a stopping test
// unsettled (or would stop the solve) is taken back: the copy returns and this
// thread sweeps again up to that sweep, forms its norms exactly and makes the
// reference's test. Solves whose norms could overflow or meet 0/0 take the exact
// norms on every sweep, on this thread, where the reference meets its faults.
// Runs go on the bands or on this thread as solvers/pace.h finds faster.
#include "solvers/dispatch.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "runtime/run.h"
#include "solvers/pace.h"
#include "solvers/solvers.h"
#include "solvers/stopping_test.h"
#include "solvers/threads.h"

namespace solvers::dispatch {

namespace {

// Shorter runs cost more in hand-overs than the bands give.
constexpr int shortest_run = 4;
// Once a sum has failed to settle a test the ratio is near tol: sweeps stay on
// this thread that long, instead of runs that would be taken back.
constexpr int alone_after_doubt = 64;

}  // namespace

Options program_options(int hist_step) {
  Options o;
  o.path = fast::best_path();
  o.threads = rt::usable_processors();
  o.hist_step = hist_step;
  // Not yet measured closely: a band's sweep on smaller grids takes about as
  // long as the hand-overs between bands (a fraction of a microsecond).
  o.least_rows = 32;
  o.least_nodes = 20000;
  return o;
}

void solve(const Options& o, double aP, double aE, double aN, int itmax, double tol, int Nx, int Ny, double* L1,
           double* L2, double* Linf, int& it, double* T) {
  if (itmax < 1) {
    it = 0;
    return;
  }
  const StoppingTest test(aP, aE, aN, Nx, Ny, T, L1[0], tol, o.inflation);
  const long long stride = o.hist_step >= 1 ? o.hist_step : 1;
  const auto printed = [stride, itmax](int j) { return j % stride == 0 || j == itmax; };
  const fast::Path path = o.path;

  const int rows = Ny > 2 ? Ny - 2 : 0;
  const long long nodes = static_cast<long long>(Nx > 2 ? Nx - 2 : 0) * rows;
  std::unique_ptr<threads::Crew> crew;
  std::vector<double> start;
  if (test.certain_at_all() && o.threads > 1 && rows >= std::max(4, o.least_rows) && nodes >= o.least_nodes) {
    crew = std::make_unique<threads::Crew>(path, aP, aE, aN, Nx, Ny, T, o.threads);
    if (crew->bands() < 2) {
      crew.reset();
    } else {
      start.assign(static_cast<std::size_t>(Nx) * static_cast<std::size_t>(Ny) + 1, 0.0);
    }
  }
  double sums[threads::Crew::longest_run];
  const std::size_t field_bytes = start.size() * sizeof(double);

  // One sweep on this thread, with its norms and test where they are due:
  // true when it stops the solve.
  int k = 0;  // sweeps done
  int alone_until = 0;
  const auto step = [&]() {
    const int j = ++k;
    if (printed(j) || !test.certain_at_all()) {
      fast::sweep_with_norms(path, aP, aE, aN, Nx, Ny, T, L1[j], L2[j], Linf[j]);
    } else {
      fast::sweep(path, aP, aE, aN, Nx, Ny, T);
      // No test after sweep 1.
      if (j < 2 || test.surely_goes_on(abs_residual_sum(path, aP, aE, aN, Nx, Ny, T))) return false;
      norm_L1(aP, aE, aN, Nx, Ny, T, L1[j]);
      norm_L2(aP, aE, aN, Nx, Ny, T, L2[j]);
      norm_Linf(aP, aE, aN, Nx, Ny, T, Linf[j]);
      alone_until = j + alone_after_doubt;
    }
    return j >= 2 && converged(L1, j, tol);
  };

  const SteadyClock steady;
  Pace pace(o.clock != nullptr ? *o.clock : steady);
  it = itmax;
  while (k < itmax) {
    if (crew && k >= alone_until) {
      const long long next = std::min<long long>((k / stride + 1) * stride, itmax);
      const int count = static_cast<int>(std::min<long long>(next - 1 - k, threads::Crew::longest_run));
      if (count >= shortest_run && !pace.threads_next()) {
        // A run's worth of sweeps alone, timed like a run on the bands.
        pace.start();
        const int end = k + count;
        while (k < end) {
          if (step()) {
            it = k;
            return;
          }
        }
        pace.finish(false, count);
        continue;
      }
      if (count >= shortest_run) {
        pace.start();
        std::memcpy(start.data(), T, field_bytes);
        crew->run(k, count, sums);
        pace.finish(true, count);
        int doubt = 0;
        for (int i = 0; i < count && doubt == 0; ++i) {
          const int j = k + 1 + i;
          if (j >= 2 && !test.surely_goes_on(sums[i])) doubt = j;
        }
        if (doubt == 0) {
          k += count;
          continue;
        }
        std::memcpy(T, start.data(), field_bytes);
        for (int j = k + 1; j < doubt; ++j) fast::sweep(path, aP, aE, aN, Nx, Ny, T);
        k = doubt - 1;
        alone_until = doubt + alone_after_doubt;
      }
    }
    if (step()) {
      it = k;
      return;
    }
  }
}

}  // namespace solvers::dispatch
