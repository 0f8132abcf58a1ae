// The fast Gauss-Seidel solver against the plain reference, on what the report
// shows: it, every node, and the history elements it prints (0, the multiples
// of hist_step up to it, and it itself), on every code path and thread count.
#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "runtime/fpe.h"
#include "solvers/dispatch.h"
#include "solvers/solvers.h"
#include "solvers/stopping_test.h"
#include "solvers/threads.h"
#include "solvers/wavefront.h"
#include "support.h"

namespace {

using solvers::fast::Path;

// A field with its coefficients and initial norms, as the solver receives it.
struct Plate {
  int Nx = 0, Ny = 0;
  double aP = 0, aE = 0, aN = 0;
  std::vector<double> T;  // 1-based, element 0 unused
  double L1_0 = 0, L2_0 = 0, Linf_0 = 0;
};

struct Result {
  std::vector<double> L1, L2, Linf, T;
  int it = -1;
};

// Coefficients as the program forms them from the spacings.
void set_coefficients(Plate& p, double dx, double dy) {
  p.aE = 1.0 / dx;
  p.aN = (1.0 / dy) * (dx / dy);
  p.aP = (p.aE + p.aN) * 2.0;
}

void set_initial_norms(Plate& p) {
  solvers::norm_L1(p.aP, p.aE, p.aN, p.Nx, p.Ny, p.T.data(), p.L1_0);
  solvers::norm_L2(p.aP, p.aE, p.aN, p.Nx, p.Ny, p.T.data(), p.L2_0);
  solvers::norm_Linf(p.aP, p.aE, p.aN, p.Nx, p.Ny, p.T.data(), p.Linf_0);
}

// Unequal random spacings, random edges and a random initial interior.
Plate random_plate(std::mt19937_64& rng, int Nx, int Ny) {
  std::uniform_real_distribution<double> spacing(0.01, 1.0), value(-2.0, 2.0);
  Plate p;
  p.Nx = Nx;
  p.Ny = Ny;
  set_coefficients(p, spacing(rng), spacing(rng));
  p.T.assign(static_cast<std::size_t>(Nx) * Ny + 1, 0.0);
  for (std::size_t k = 1; k < p.T.size(); ++k) p.T[k] = value(rng);
  set_initial_norms(p);
  return p;
}

// The plate of the program: sine on top, zero elsewhere.
Plate program_plate(double Lx, double Ly, int Nx, int Ny) {
  Plate p;
  p.Nx = Nx;
  p.Ny = Ny;
  const double dx = Lx / (Nx - 1.0), dy = Ly / (Ny - 1.0);
  set_coefficients(p, dx, dy);
  p.T.assign(static_cast<std::size_t>(Nx) * Ny + 1, 0.0);
  const double pi = std::acos(-1.0);
  for (int i = 1; i <= Nx; ++i) p.T[i + (Ny - 1) * Nx] = std::sin((((i - 1.0) * dx) / Lx) * pi);
  set_initial_norms(p);
  return p;
}

// How a solve is run: the reference, or the fast solver with these options.
struct Way {
  bool reference = false;
  solvers::dispatch::Options options;
};

// A clock that stands still: every run looks as fast as any other, so the
// bands take most runs and one thread the tries in between, the same on every
// machine.
class StillClock final : public solvers::Pace::Clock {
 public:
  double seconds() const override { return 0.0; }
};
const StillClock still;

Way fast_way(Path path, int threads, int hist_step, double inflation = 1.0) {
  Way w;
  w.options.clock = &still;
  w.options.path = path;
  w.options.threads = threads;
  w.options.hist_step = hist_step;
  w.options.inflation = inflation;
  return w;
}

const Way reference{true, {}};
// Every decision on the exact norms.
constexpr double never_certain = 0x1p50;

// The histories hold a marker, so elements left alone are visible.
Result solve(const Plate& p, int itmax, double tol, const Way& way) {
  Result r;
  const std::size_t len = static_cast<std::size_t>(itmax > 0 ? itmax : 0) + 1;
  r.L1.assign(len, -7.25);
  r.L2.assign(len, -7.25);
  r.Linf.assign(len, -7.25);
  r.L1[0] = p.L1_0;
  r.L2[0] = p.L2_0;
  r.Linf[0] = p.Linf_0;
  r.T = p.T;
  r.it = -12345;
  if (way.reference) {
    solvers::gauss_seidel_reference(p.aP, p.aE, p.aN, itmax, tol, p.Nx, p.Ny, r.L1.data(), r.L2.data(), r.Linf.data(),
                                    r.it, r.T.data());
  } else {
    solvers::dispatch::solve(way.options, p.aP, p.aE, p.aN, itmax, tol, p.Nx, p.Ny, r.L1.data(), r.L2.data(),
                             r.Linf.data(), r.it, r.T.data());
  }
  return r;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// The elements the report prints, and those above it, which nobody writes.
std::vector<int> shown(int it, int hist_step, int len) {
  std::vector<int> ks;
  for (int k = 0; k <= it; k += hist_step) ks.push_back(k);
  if (it >= 0) ks.push_back(it);
  for (int k = it + 1; k < len; ++k) ks.push_back(k);
  return ks;
}

// What the report shows: it, every node, the printed elements; `all` also
// every element 0..it (the exact path writes them all).
::testing::AssertionResult same_report(const Result& got, const Result& want, int hist_step, bool all = false) {
  if (got.it != want.it) return ::testing::AssertionFailure() << "it " << got.it << " vs " << want.it;
  if (!same_bits(got.T, want.T)) return ::testing::AssertionFailure() << "field differs";
  const int len = static_cast<int>(want.L1.size());
  std::vector<int> ks = shown(want.it, all ? 1 : hist_step, len);
  for (int k : ks) {
    if (!same_bits(got.L1[k], want.L1[k]) || !same_bits(got.L2[k], want.L2[k]) || !same_bits(got.Linf[k], want.Linf[k]))
      return ::testing::AssertionFailure() << "history element " << k << ": L1 " << got.L1[k] << " vs " << want.L1[k];
  }
  return ::testing::AssertionSuccess();
}

std::vector<Path> paths() {
  std::vector<Path> out;
  for (Path p : {Path::portable, Path::avx2, Path::avx512})
    if (solvers::fast::supported(p)) out.push_back(p);
  return out;
}

// One solve on every path and thread count against the reference.
void expect_same_report(const Plate& p, int itmax, double tol, int hist_step, std::vector<int> threads,
                        double inflation = 1.0) {
  const Result want = solve(p, itmax, tol, reference);
  for (Path path : paths()) {
    for (int t : threads) {
      const Result got = solve(p, itmax, tol, fast_way(path, t, hist_step, inflation));
      EXPECT_TRUE(same_report(got, want, hist_step, inflation >= never_certain))
          << solvers::fast::name(path) << ", " << t << " threads, " << p.Nx << "x" << p.Ny << ", itmax " << itmax
          << ", tol " << tol << ", hist_step " << hist_step << ", inflation " << inflation;
    }
  }
}

const std::vector<int> one_to_seven = {1, 2, 3, 4, 5, 6, 7};

// ---------------------------------------------------------------------------
// Bit identity with the reference

TEST(FastSolver, SameReportOnEverySmallShapeAndSweepCount) {
  std::mt19937_64 rng(20240605);
  std::uniform_int_distribution<int> sweeps(1, 14), step(1, 5);
  for (int Nx = 3; Nx <= 12; ++Nx)
    for (int Ny = 3; Ny <= 12; ++Ny) {
      const Plate p = random_plate(rng, Nx, Ny);
      expect_same_report(p, sweeps(rng), -1.0, step(rng), {1, 3});
    }
}

// Each row: a plate, its sweeps, tol, hist_step. Thread counts 1 to 7 cut the
// rows into bands of every height; a hist_step above it leaves long runs of
// sweeps whose decision is the unordered sum's alone.
TEST(FastSolver, SameReportOnEveryThreadCount) {
  std::mt19937_64 rng(71);
  struct Row {
    Plate p;
    int itmax;
    double tol;
    int hist_step;
  };
  const std::vector<Row> rows = {
      {program_plate(1.0, 1.0, 11, 11), 1000, 1e-6, 1000},   // stops at 131
      {program_plate(1.0, 1.0, 11, 11), 50, 1e-6, 7},        // runs to itmax
      {program_plate(1.0, 4.0, 21, 81), 400, 1e-5, 100000},  // tall, stops
      {program_plate(4.0, 1.0, 81, 21), 300, 1e-5, 1},       // wide, every element printed
      {random_plate(rng, 57, 43), 300, 1e-3, 1000},          // unequal spacing
      {random_plate(rng, 9, 520), 40, -1.0, 9},              // tall, tol negative
      {random_plate(rng, 520, 9), 40, 0.0, 1000},            // wide, tol 0
      {random_plate(rng, 30, 30), 1, 1e-3, 5},               // itmax 1
      {random_plate(rng, 30, 30), 2, 1.0, 5},                // itmax 2, stops at once
      {program_plate(1.0, 1.0, 3, 3), 10, 0.0, 100},         // settles at sweep 1, stops at 2
  };
  for (const Row& r : rows) expect_same_report(r.p, r.itmax, r.tol, r.hist_step, one_to_seven);
}

TEST(FastSolver, SameReportOnALargePlate) {
  const Plate p = program_plate(1.0, 1.0, 520, 520);
  expect_same_report(p, 30, -1.0, 7, {1, 2, 7});
}

// tol equal to the ratio of a sweep: that sweep stops the solve. The bound
// cannot settle it, and runs of several threads have to be taken back to it.
TEST(FastSolver, StopsOnTheSweepWhoseRatioEqualsTolerance) {
  std::mt19937_64 rng(77);
  std::uniform_int_distribution<int> side(8, 60);
  for (int c = 0; c < 12; ++c) {
    const Plate p = random_plate(rng, side(rng), side(rng));
    const Result free_run = solve(p, 300, -1.0, reference);
    const int k = 2 + (c * 37) % 298;
    expect_same_report(p, 300, free_run.L1[k] / free_run.L1[0], 1000, {1, 2, 4});
  }
}

// The hook that widens the bound puts every decision on the exact norms: every
// element 1..it then holds the reference's (element 1 only when printed).
TEST(FastSolver, WidenedBoundTakesTheExactNormsOnEverySweep) {
  std::mt19937_64 rng(5);
  const Plate p = random_plate(rng, 37, 29);
  const Result free_run = solve(p, 60, -1.0, reference);
  for (double tol : {-1.0, 0.0, free_run.L1[33] / free_run.L1[0], 1.0})
    expect_same_report(p, 60, tol, 1, {1, 3}, never_certain);
  // With the bound as it is, elements neither printed nor deciding stay unwritten.
  const Result got = solve(p, 60, -1.0, fast_way(solvers::fast::best_path(), 1, 1000));
  EXPECT_EQ(got.L1[17], -7.25);
}

TEST(FastSolver, FollowsTheCallersRoundingMode) {
  std::mt19937_64 rng(43);
  const Plate p = random_plate(rng, 61, 35);
  for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    const Result want = solve(p, 40, 1e-2, reference);
    std::vector<Result> got;
    for (int t : {1, 3}) got.push_back(solve(p, 40, 1e-2, fast_way(solvers::fast::best_path(), t, 1000)));
    std::fesetround(FE_TONEAREST);
    for (const Result& g : got) EXPECT_TRUE(same_report(g, want, 1000)) << mode;
  }
}

TEST(FastSolver, NoSweepBelowOneIteration) {
  std::mt19937_64 rng(9);
  for (int itmax : {0, -3}) expect_same_report(random_plate(rng, 30, 30), itmax, 1e-3, 1, {1, 2});
}

TEST(FastSolver, UnreadNodesNeverEnterTheArithmetic) {
  // The stencil reads no corner and nothing outside the field: values there
  // would overflow any sum they entered, with the traps armed.
  const auto child = testsupport::run_forked([] {
    rt::enable_fp_traps();
    std::mt19937_64 rng(11);
    bool same = true;
    for (int Nx : {3, 5, 17, 18, 19, 40}) {
      for (int Ny : {3, 9, 17, 18, 33, 40}) {
        Plate p = random_plate(rng, Nx, Ny);
        for (std::size_t k :
             {std::size_t{0}, std::size_t{1}, std::size_t(Nx), std::size_t(Nx) * (Ny - 1) + 1, std::size_t(Nx) * Ny})
          p.T[k] = DBL_MAX;
        const Result want = solve(p, 8, -1.0, reference);
        for (Path path : paths()) same = same && same_report(solve(p, 8, -1.0, fast_way(path, 2, 1)), want, 1);
      }
    }
    std::_Exit(same ? 0 : 3);
  });
  EXPECT_EQ(child.status, 0) << child.err;
}

// ---------------------------------------------------------------------------
// Faults

// Each solve runs in a child process with the traps armed, the reference's and
// the fast solver's on 1 and 4 threads: all end the same way, the reference on
// a fault of the given kind.
void expect_same_fault(const Plate& p, int itmax, double tol, const std::string& kind) {
  const auto armed = [&](const Way& way) {
    return testsupport::run_forked([&] {
      rt::enable_fp_traps();
      solve(p, itmax, tol, way);
      std::_Exit(0);
    });
  };
  const auto want = armed(reference);
  if (kind.empty()) {
    EXPECT_EQ(want.status, 0) << want.err;
  } else {
    EXPECT_NE(want.err.find("floating-point error: " + kind), std::string::npos) << want.err;
  }
  for (int t : {1, 4}) {
    const auto got = armed(fast_way(solvers::fast::best_path(), t, 1000));
    EXPECT_EQ(got.status, want.status) << t;
    EXPECT_EQ(got.err, want.err) << t;
  }
}

// A field that grows fourfold a sweep: L2 overflows after a few dozen sweeps,
// L1 much later.
Plate growing_plate() {
  std::mt19937_64 rng(53);
  Plate p = random_plate(rng, 40, 35);
  p.aP = 1.0;
  p.aE = 1.0;
  p.aN = 1.0;
  for (double& v : p.T) v *= 1e100;
  set_initial_norms(p);
  return p;
}

TEST(FastSolverFaults, LandWhereTheReferencesLand) {
  struct Row {
    const char* what;
    Plate p;
    int itmax;
    const char* kind;
  };
  // A spacing so small that r*r overflows; a plate so tall that aN underflows to
  // 0, every residual is 0 and the first test is 0/0; a plate so large that the
  // residuals are near the bottom of the range (no fault, no certain sum); a grid
  // with no interior node.
  const std::vector<Row> rows = {
      {"tiny spacing", program_plate(1e-154, 1e-154, 40, 40), 50, "overflow"},
      {"huge plate, tall", program_plate(1.0, 1e300, 40, 40), 50, "invalid"},
      {"huge plate", program_plate(1e308, 1e308, 40, 40), 50, ""},
      {"no interior", program_plate(1.0, 1.0, 2, 5), 5, "invalid"},
      {"no interior", program_plate(1.0, 1.0, 7, 2), 5, "invalid"},
      {"growing field", growing_plate(), 400, "overflow"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    expect_same_fault(r.p, r.itmax, 1e-6, r.kind);
    // Unarmed, the same infinities and NaNs.
    expect_same_report(r.p, r.itmax, 1e-6, 1, {1, 4});
  }
}

// ---------------------------------------------------------------------------
// The stopping test

// Sums just above and below the ratio: the bound keeps a margin of about
// (n+1) 2^-50 and never settles a sweep the ordered sum would stop.
TEST(StoppingTest, SettlesOnlyWhatTheOrderedSumSurelyDecides) {
  const Plate p = program_plate(1.0, 1.0, 101, 101);
  const double tol = 1e-8;
  const solvers::StoppingTest test(p.aP, p.aE, p.aN, p.Nx, p.Ny, p.T.data(), p.L1_0, tol);
  ASSERT_TRUE(test.certain_at_all());
  const double at_tol = tol * p.L1_0;
  EXPECT_TRUE(test.surely_goes_on(at_tol * (1 + 1e-9)));
  EXPECT_FALSE(test.surely_goes_on(at_tol * (1 + 1e-12)));
  EXPECT_FALSE(test.surely_goes_on(at_tol));
  EXPECT_FALSE(test.surely_goes_on(0.0));
  const solvers::StoppingTest widened(p.aP, p.aE, p.aN, p.Nx, p.Ny, p.T.data(), p.L1_0, tol, never_certain);
  EXPECT_FALSE(widened.surely_goes_on(1e300));
}

TEST(StoppingTest, NeverCertainWhereANormCouldOverflowOrMeetZeroOverZero) {
  const Plate unit = program_plate(1.0, 1.0, 30, 30);
  const std::vector<double> T = unit.T;
  struct Row {
    const char* what;
    double aP, aE, aN, L1_0, tol;
    bool certain;
  };
  const Row rows[] = {
      {"the program's plate", unit.aP, unit.aE, unit.aN, unit.L1_0, 1e-8, true},
      {"L1(0) of 0", unit.aP, unit.aE, unit.aN, 0.0, 1e-8, false},
      {"L1(0) not finite", unit.aP, unit.aE, unit.aN, INFINITY, 1e-8, false},
      {"tol NaN", unit.aP, unit.aE, unit.aN, unit.L1_0, NAN, false},
      {"a growing update", 1.0, 1.0, 1.0, unit.L1_0, 1e-8, false},
      {"coefficients near overflow", 4e300, 1e300, 1e300, unit.L1_0, 1e-8, false},
  };
  for (const Row& r : rows) {
    const solvers::StoppingTest test(r.aP, r.aE, r.aN, unit.Nx, unit.Ny, T.data(), r.L1_0, r.tol);
    EXPECT_EQ(test.certain_at_all(), r.certain) << r.what;
  }
  std::vector<double> hot = T;
  hot[5] = 1e250;
  const solvers::StoppingTest test(unit.aP, unit.aE, unit.aN, unit.Nx, unit.Ny, hot.data(), unit.L1_0, 1e-8);
  EXPECT_FALSE(test.certain_at_all()) << "an edge value near overflow";
}

// A band that left a row out would only make the sums smaller and the decisions
// slower, which no report shows: each sum of a run is the one-thread sum of its
// field, up to the order of the additions.
TEST(StoppingTest, EveryBandAddsEachRowOnce) {
  std::mt19937_64 rng(17);
  const Path path = solvers::fast::best_path();
  for (int threads : {2, 3, 7}) {
    Plate p = random_plate(rng, 33, 41);
    std::vector<double> alone = p.T;
    double sums[12];
    solvers::threads::Crew crew(path, p.aP, p.aE, p.aN, p.Nx, p.Ny, p.T.data(), threads);
    ASSERT_EQ(crew.bands(), threads);
    crew.run(0, 12, sums);
    for (int i = 0; i < 12; ++i) {
      solvers::fast::sweep(path, p.aP, p.aE, p.aN, p.Nx, p.Ny, alone.data());
      const double want = solvers::abs_residual_sum(path, p.aP, p.aE, p.aN, p.Nx, p.Ny, alone.data());
      EXPECT_NEAR(sums[i], want, want * 1e-13) << threads << " threads, sweep " << i + 1;
    }
    EXPECT_TRUE(same_bits(p.T, alone));
  }
}

// The program's entry point, on every processor it may use.
TEST(FastSolverDispatch, ProgramEntryGivesTheReferencesReport) {
  std::mt19937_64 rng(3);
  const Plate p = program_plate(1.0, 1.0, 160, 160);
  const Result want = solve(p, 700, 1e-3, reference);
  Result got = solve(p, 0, 0.0, reference);
  got.L1.assign(want.L1.size(), -7.25);
  got.L2 = got.L1;
  got.Linf = got.L1;
  got.L1[0] = p.L1_0;
  got.L2[0] = p.L2_0;
  got.Linf[0] = p.Linf_0;
  solvers::gauss_seidel(p.aP, p.aE, p.aN, 700, 1e-3, p.Nx, p.Ny, got.L1.data(), got.L2.data(), got.Linf.data(), got.it,
                        got.T.data(), 50);
  EXPECT_TRUE(same_report(got, want, 50));
}

}  // namespace
