// The fast Gauss-Seidel solver against the plain reference: every history element,
// the iteration count and every node must have the same bits, on every code path,
// on one thread and on two.
#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif

#include "runtime/fpe.h"
#include "runtime/platform/platform.h"
#include "solvers/solvers.h"
#include "solvers/wavefront.h"
#include "solvers/threads.h"
#include "support.h"

namespace {

using solvers::fast::Path;

// A code path of the sweep, on one thread or with the norms summed on a second.
struct Variant {
  Path path;
  bool two_threads;
};

std::string name(const Variant& v) {
  return std::string(solvers::fast::name(v.path)) + (v.two_threads ? "_two_threads" : "");
}

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

// The unit plate of the program: sine on top, zero elsewhere.
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

// What a solver receives: the plate's field and initial norms, and histories
// holding a marker, so untouched elements are visible.
Result fresh(const Plate& p, int itmax) {
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
  return r;
}

Result run(const Plate& p, int itmax, double tol, Variant variant, bool reference) {
  Result r = fresh(p, itmax);
  if (reference) {
    solvers::gauss_seidel_reference(p.aP, p.aE, p.aN, itmax, tol, p.Nx, p.Ny, r.L1.data(), r.L2.data(),
                                    r.Linf.data(), r.it, r.T.data());
  } else if (variant.two_threads) {
    solvers::pipeline::gauss_seidel_two_threads(variant.path, p.aP, p.aE, p.aN, itmax, tol, p.Nx, p.Ny,
                                                r.L1.data(), r.L2.data(), r.Linf.data(), r.it, r.T.data());
  } else {
    solvers::fast::gauss_seidel_on(variant.path, p.aP, p.aE, p.aN, itmax, tol, p.Nx, p.Ny, r.L1.data(),
                                   r.L2.data(), r.Linf.data(), r.it, r.T.data());
  }
  return r;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// First element whose bits differ, for the failure message.
std::string first_difference(const std::vector<double>& a, const std::vector<double>& b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0) {
      char text[128];
      std::snprintf(text, sizeof text, "[%zu]: %.17g vs %.17g", i, a[i], b[i]);
      return text;
    }
  }
  return "sizes differ";
}

// Every history element, the iteration count and every node.
void expect_same(const Result& got, const Result& want) {
  EXPECT_EQ(got.it, want.it);
  EXPECT_TRUE(same_bits(got.L1, want.L1)) << "L1" << first_difference(got.L1, want.L1);
  EXPECT_TRUE(same_bits(got.L2, want.L2)) << "L2" << first_difference(got.L2, want.L2);
  EXPECT_TRUE(same_bits(got.Linf, want.Linf)) << "Linf" << first_difference(got.Linf, want.Linf);
  EXPECT_TRUE(same_bits(got.T, want.T)) << "T" << first_difference(got.T, want.T);
}

void expect_identical(const Plate& p, int itmax, double tol, Variant variant) {
  const Result want = run(p, itmax, tol, variant, true);
  const Result got = run(p, itmax, tol, variant, false);
  SCOPED_TRACE(testing::Message() << name(variant) << " " << p.Nx << "x" << p.Ny
                                  << " itmax=" << itmax << " tol=" << tol);
  expect_same(got, want);
}

// Runs solve(true), the reference, and solve(false) each in a child process with
// the traps armed: both must end the same way, the reference on a fault of the
// given kind.
void expect_same_fault(const std::function<void(bool reference)>& solve, const std::string& kind) {
  const auto armed = [&solve](bool reference) {
    return testsupport::run_forked([&solve, reference] {
      rt::enable_fp_traps();
      solve(reference);
      std::_Exit(0);
    });
  };
  const auto want = armed(true);
  const auto got = armed(false);
  EXPECT_NE(want.err.find("floating-point error: " + kind), std::string::npos) << want.err;
  EXPECT_EQ(got.status, want.status);
  EXPECT_EQ(got.out, want.out);
  EXPECT_EQ(got.err, want.err);
}

class FastSolver : public testing::TestWithParam<Variant> {
 protected:
  void SetUp() override {
    if (!solvers::fast::supported(GetParam().path)) GTEST_SKIP() << "processor lacks this path";
  }
};

// ---------------------------------------------------------------------------
// Bit identity with the reference

TEST_P(FastSolver, SameBitsOnRandomPlatesOfEveryShape) {
  std::mt19937_64 rng(20240605);
  std::uniform_int_distribution<int> side(3, 80), sweeps(1, 12);
  // Every small shape, then random ones up to 80 nodes a side.
  for (int Nx = 3; Nx <= 12; ++Nx)
    for (int Ny = 3; Ny <= 12; ++Ny) expect_identical(random_plate(rng, Nx, Ny), sweeps(rng), -1.0, GetParam());
  for (int c = 0; c < 150; ++c) expect_identical(random_plate(rng, side(rng), side(rng)), sweeps(rng), -1.0, GetParam());
}

TEST_P(FastSolver, SameBitsOnTheProgramsPlate) {
  const int sides[][2] = {{3, 3}, {4, 4}, {11, 11}, {20, 20}, {21, 81}, {81, 21}, {41, 161}};
  for (const auto& s : sides) {
    expect_identical(program_plate(1.0, 1.0, s[0], s[1]), 40, 1e-6, GetParam());
    expect_identical(program_plate(1.0, 4.0, s[0], s[1]), 40, 1e-6, GetParam());
  }
}

TEST_P(FastSolver, StopsOnTheSameSweepWhenTheRatioEqualsTolerance) {
  std::mt19937_64 rng(77);
  std::uniform_int_distribution<int> side(3, 60);
  for (int c = 0; c < 60; ++c) {
    const Plate p = random_plate(rng, side(rng), side(rng));
    const int itmax = 25;
    const Result free_run = run(p, itmax, -1.0, GetParam(), true);
    const int k = 2 + c % (itmax - 1);
    // The reference stops at the first sweep from 2 on whose ratio is at most this.
    expect_identical(p, itmax, free_run.L1[k] / free_run.L1[0], GetParam());
  }
}

TEST_P(FastSolver, FewSweepsAndBoundaryTolerances) {
  std::mt19937_64 rng(5);
  for (int itmax : {1, 2, 3}) {
    for (double tol : {-1.0, 0.0, 1.0, 1e300}) {
      expect_identical(random_plate(rng, 3, 3), itmax, tol, GetParam());
      expect_identical(random_plate(rng, 4, 4), itmax, tol, GetParam());
      expect_identical(random_plate(rng, 37, 29), itmax, tol, GetParam());
    }
  }
}

TEST_P(FastSolver, SingleNodeSettlesAndStopsAfterSecondSweepWithZeroTolerance) {
  const Plate p = program_plate(1.0, 1.0, 3, 3);
  const Result got = run(p, 10, 0.0, GetParam(), false);
  EXPECT_EQ(got.it, 2);
  EXPECT_EQ(got.T[5], 0.25);
  EXPECT_EQ(got.L1[2], 0.0);
  expect_identical(p, 10, 0.0, GetParam());
}

TEST_P(FastSolver, NoSweepBelowOneIteration) {
  std::mt19937_64 rng(9);
  for (int itmax : {0, -3}) expect_identical(random_plate(rng, 30, 30), itmax, 1e-3, GetParam());
}

TEST_P(FastSolver, UnreadNodesNeverEnterTheArithmetic) {
  // The stencil reads no corner and nothing outside the field: values there
  // would overflow any sum they entered, with the traps armed.
  const Variant path = GetParam();
  const auto child = testsupport::run_forked([path] {
    rt::enable_fp_traps();
    std::mt19937_64 rng(11);
    bool same = true;
    for (int Nx : {3, 5, 17, 18, 19, 40}) {
      for (int Ny : {3, 9, 17, 18, 33, 40}) {
        Plate p = random_plate(rng, Nx, Ny);
        for (std::size_t k : {std::size_t{0}, std::size_t{1}, std::size_t(Nx), std::size_t(Nx) * (Ny - 1) + 1,
                              std::size_t(Nx) * Ny})
          p.T[k] = DBL_MAX;
        const Result want = run(p, 8, -1.0, path, true);
        const Result got = run(p, 8, -1.0, path, false);
        same = same && got.it == want.it && same_bits(got.L1, want.L1) && same_bits(got.L2, want.L2) &&
               same_bits(got.Linf, want.Linf) && same_bits(got.T, want.T);
      }
    }
    std::_Exit(same ? 0 : 3);
  });
  EXPECT_EQ(child.status, 0) << child.err;
}

// ---------------------------------------------------------------------------
// Faults

TEST_P(FastSolver, GridWithoutInteriorNodesFailsLikeTheReference) {
  const Variant path = GetParam();
  for (const auto& side : {std::pair{2, 5}, std::pair{7, 2}, std::pair{2, 2}, std::pair{1, 6}}) {
    Plate p = program_plate(1.0, 1.0, side.first, side.second);
    SCOPED_TRACE(testing::Message() << side.first << "x" << side.second);
    expect_same_fault([&p, path](bool reference) { run(p, 5, 1e-6, path, reference); }, "invalid");
  }
}

TEST_P(FastSolver, OverflowInTheNormsTrapsLikeTheReference) {
  // Residuals near 1e164 pass through the sweep but their squares overflow in L2.
  std::mt19937_64 rng(41);
  Plate p = random_plate(rng, 57, 43);
  for (double& v : p.T) v *= 1e160;
  set_initial_norms(p);
  const Variant variant = GetParam();
  expect_same_fault([&p, variant](bool reference) { run(p, 6, -1.0, variant, reference); }, "overflow");
  // Unarmed, both carry on with the same infinities.
  expect_identical(p, 6, -1.0, variant);
}

TEST_P(FastSolver, FollowsTheCallersRoundingMode) {
  std::mt19937_64 rng(43);
  const Plate p = random_plate(rng, 61, 35);
  for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    const Result want = run(p, 9, -1.0, GetParam(), true);
    const Result got = run(p, 9, -1.0, GetParam(), false);
    std::fesetround(FE_TONEAREST);
    EXPECT_TRUE(same_bits(got.L1, want.L1)) << mode << first_difference(got.L1, want.L1);
    EXPECT_TRUE(same_bits(got.L2, want.L2)) << mode << first_difference(got.L2, want.L2);
    EXPECT_TRUE(same_bits(got.T, want.T)) << mode << first_difference(got.T, want.T);
  }
}

TEST_P(FastSolver, GridWithoutInteriorNodesAndOneSweepReturnsZeroNorms) {
  for (const auto& side : {std::pair{2, 5}, std::pair{7, 2}}) {
    const Plate p = program_plate(1.0, 1.0, side.first, side.second);
    const Result got = run(p, 1, 1e-6, GetParam(), false);
    EXPECT_EQ(got.it, 1);
    EXPECT_EQ(got.L1[1], 0.0);
    expect_identical(p, 1, 1e-6, GetParam());
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, FastSolver,
                         testing::Values(Variant{Path::portable, false}, Variant{Path::avx2, false},
                                         Variant{Path::avx512, false}, Variant{Path::portable, true},
                                         Variant{Path::avx2, true}, Variant{Path::avx512, true}),
                         [](const testing::TestParamInfo<Variant>& info) { return name(info.param); });

// Both threads on one processor: the sweeping thread keeps waiting for its
// helper, carries on alone, and the bits stay those of the reference.
TEST(TwoThreadSolver, GoesOnAloneWithTheSameBitsWhenTheHelperKeepsWaiting) {
#if defined(__linux__)
  std::mt19937_64 rng(13);
  const Plate p = random_plate(rng, 90, 70);
  const auto child = testsupport::run_forked([&p] {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0) std::_Exit(2);
    const Variant variant{solvers::fast::best_path(), true};
    const Result want = run(p, 60, -1.0, variant, true);
    const Result got = run(p, 60, -1.0, variant, false);
    const bool same = got.it == want.it && same_bits(got.L1, want.L1) && same_bits(got.L2, want.L2) &&
                      same_bits(got.Linf, want.Linf) && same_bits(got.T, want.T);
    std::_Exit(same ? 0 : 3);
  });
  EXPECT_EQ(child.status, 0) << child.err;
#else
  GTEST_SKIP() << "needs sched_setaffinity";
#endif
}

// Windows of a few sweeps make the solve start and stop its helper again and
// again, in the middle of a solve and right before it stops; every history
// element and node stays the reference's.
TEST(TwoThreadSolver, SameBitsWhileMovingBetweenTwoThreadsAndOne) {
  const solvers::pipeline::Schedule often{3, 2, 8};
  std::mt19937_64 rng(31);
  for (Path path : {Path::portable, Path::avx2, Path::avx512}) {
    if (!solvers::fast::supported(path)) continue;
    for (const auto& side : {std::pair{30, 40}, std::pair{57, 33}, std::pair{21, 81}}) {
      const Plate p = random_plate(rng, side.first, side.second);
      const Result free_run = run(p, 70, -1.0, Variant{path, false}, true);
      for (double tol : {-1.0, free_run.L1[37] / free_run.L1[0]}) {
        const Result want = run(p, 70, tol, Variant{path, false}, true);
        Result got = fresh(p, 70);
        solvers::pipeline::gauss_seidel_two_threads(path, p.aP, p.aE, p.aN, 70, tol, p.Nx, p.Ny, got.L1.data(),
                                                    got.L2.data(), got.Linf.data(), got.it, got.T.data(), often);
        SCOPED_TRACE(testing::Message() << solvers::fast::name(path) << " " << p.Nx << "x" << p.Ny << " tol=" << tol);
        expect_same(got, want);
      }
    }
  }
}

// Above the plan's size limit each sweep waits for the norms of the one before;
// a limit of zero puts every plate on that way.
TEST(TwoThreadSolver, SameBitsWhenEachSweepWaitsForTheNormsBeforeIt) {
  solvers::pipeline::Schedule waiting;
  waiting.lookahead_bytes = 0;
  std::mt19937_64 rng(37);
  const Path path = solvers::fast::best_path();
  for (const auto& side : {std::pair{30, 40}, std::pair{64, 27}}) {
    const Plate p = random_plate(rng, side.first, side.second);
    const Result free_run = run(p, 50, -1.0, Variant{path, false}, true);
    for (double tol : {-1.0, free_run.L1[2] / free_run.L1[0], free_run.L1[29] / free_run.L1[0]}) {
      const Result want = run(p, 50, tol, Variant{path, false}, true);
      Result got = fresh(p, 50);
      solvers::pipeline::gauss_seidel_two_threads(path, p.aP, p.aE, p.aN, 50, tol, p.Nx, p.Ny, got.L1.data(),
                                                  got.L2.data(), got.Linf.data(), got.it, got.T.data(), waiting);
      SCOPED_TRACE(testing::Message() << p.Nx << "x" << p.Ny << " tol=" << tol);
      expect_same(got, want);
    }
  }
}

// A field that grows fourfold a sweep: the squares in L2 overflow after a few
// dozen sweeps, L1 much later, so many sweeps start ahead of norms that hold a
// fault. Armed, the run ends on the reference's first fault; unarmed, the
// infinities and the NaN that stops the solve are the reference's.
TEST(TwoThreadSolver, GrowingFieldMeetsTheReferencesFaultsInOrder) {
  const solvers::pipeline::Schedule often{3, 2, 8};
  std::mt19937_64 rng(53);
  Plate p = random_plate(rng, 40, 35);
  p.aP = 1.0;
  p.aE = 1.0;
  p.aN = 1.0;
  for (double& v : p.T) v *= 1e100;
  set_initial_norms(p);
  const Path path = solvers::fast::best_path();
  const auto solve = [&p, path, &often](bool reference) {
    Result r = fresh(p, 400);
    if (reference) {
      solvers::gauss_seidel_reference(p.aP, p.aE, p.aN, 400, -1.0, p.Nx, p.Ny, r.L1.data(), r.L2.data(),
                                      r.Linf.data(), r.it, r.T.data());
    } else {
      solvers::pipeline::gauss_seidel_two_threads(path, p.aP, p.aE, p.aN, 400, -1.0, p.Nx, p.Ny, r.L1.data(),
                                                  r.L2.data(), r.Linf.data(), r.it, r.T.data(), often);
    }
    return r;
  };
  expect_same_fault([&solve](bool reference) { solve(reference); }, "overflow");
  const Result want = solve(true);
  EXPECT_TRUE(std::isinf(want.L2[60]) && std::isfinite(want.L1[60]) && want.it > 100 && want.it < 400)
      << "L2 overflows long before the solve stops";
  expect_same(solve(false), want);
}

// A new helper that finds itself on the sweeping thread's processor moves off
// it, and may afterwards run anywhere it could before.
TEST(ProcessorPlacement, SteppingOffMovesTheThreadAndKeepsItsAffinity) {
  if (testsupport::windows())
    GTEST_SKIP() << "Wine leaves a running thread where it is when its affinity changes";
  if (rt::plat::usable_processors() < 2 || rt::plat::current_processor() < 0)
    GTEST_SKIP() << "needs two processors and a way to tell which one runs the thread";
  int before = -1, after = -1, usable_before = 0, usable_after = 0;
  std::thread moved([&] {
    usable_before = rt::plat::usable_processors();
    before = rt::plat::current_processor();
    rt::plat::step_off_processor(before);
    after = rt::plat::current_processor();
    usable_after = rt::plat::usable_processors();
  });
  moved.join();
  EXPECT_NE(after, before);
  EXPECT_EQ(usable_after, usable_before);
}

// The program's entry point takes the best supported path and keeps the bits.
TEST(FastSolverDispatch, ProgramEntryMatchesReference) {
  std::mt19937_64 rng(3);
  const Plate p = random_plate(rng, 45, 38);
  Result want = run(p, 20, -1.0, Variant{Path::portable, false}, true);
  Result got = fresh(p, 20);
  solvers::gauss_seidel(p.aP, p.aE, p.aN, 20, -1.0, p.Nx, p.Ny, got.L1.data(), got.L2.data(), got.Linf.data(),
                        got.it, got.T.data());
  EXPECT_EQ(got.it, want.it);
  EXPECT_TRUE(same_bits(got.L1, want.L1));
  EXPECT_TRUE(same_bits(got.T, want.T));
}

}  // namespace
