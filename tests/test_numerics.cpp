// Stencil, residual norms, Gauss-Seidel, analytical solution and means, on the
// shared state as the run sequence leaves it.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "coeficientes.h"
#include "processamento.h"
#include "runtime/fpe.h"
#include "runtime/platform/platform.h"
#include "solvers/solvers.h"
#include "support.h"
#include "variaveis.h"

namespace {

namespace v = variaveis;

// The grid, edge values and initial norms as the run sequence builds them.
void build_plate(double Lx, double Ly, int Nx, int Ny, int itmax = 1, double tol = 0.0) {
  v::reset();
  v::Lx = Lx;
  v::Ly = Ly;
  v::Nx = Nx;
  v::Ny = Ny;
  v::itmax = itmax;
  v::tol = tol;
  v::pi = rt::m_acos(-1.0);
  v::N = Nx * Ny;
  v::Ta.assign(static_cast<std::size_t>(v::N) + 1, 0.0);
  v::T.assign(static_cast<std::size_t>(v::N) + 1, 0.0);
  v::y.assign(static_cast<std::size_t>(Ny) + 1, 0.0);
  v::x.assign(static_cast<std::size_t>(Nx) + 1, 0.0);
  v::L1.assign(static_cast<std::size_t>(itmax) + 1, 0.0);
  v::L2.assign(static_cast<std::size_t>(itmax) + 1, 0.0);
  v::Linf.assign(static_cast<std::size_t>(itmax) + 1, 0.0);
  v::dx = Lx / (Nx - 1.0);
  v::dy = Ly / (Ny - 1.0);
  for (int i = 1; i <= Nx; ++i) v::x[i] = (i - 1.0) * v::dx;
  for (int j = 1; j <= Ny; ++j) v::y[j] = (j - 1.0) * v::dy;

  coeficientes::coefficients();
  coeficientes::bc_top();
  coeficientes::bc_bottom();
  coeficientes::bc_left();
  coeficientes::bc_right();

  solvers::norm_L1(v::aP, v::aE, v::aN, Nx, Ny, v::T.data(), v::L1[0]);
  solvers::norm_L2(v::aP, v::aE, v::aN, Nx, Ny, v::T.data(), v::L2[0]);
  solvers::norm_Linf(v::aP, v::aE, v::aN, Nx, Ny, v::T.data(), v::Linf[0]);
}

void solve() {
  solvers::gauss_seidel_reference(v::aP, v::aE, v::aN, v::itmax, v::tol, v::Nx, v::Ny, v::L1.data(), v::L2.data(),
                                  v::Linf.data(), v::it, v::T.data());
}

double ratio(int k) { return v::L1[k] / v::L1[0]; }

bool is_edge(int k) {
  const int i = (k - 1) % v::Nx + 1;
  const int j = (k - 1) / v::Nx + 1;
  return i == 1 || i == v::Nx || j == 1 || j == v::Ny;
}

// ---------------------------------------------------------------------------
// Coefficients and edge values

struct CoefficientCase {
  double Lx, Ly;
  int Nx, Ny;
  double aE, aN, aP;
};

TEST(Coefficients, FivePointLaplacianScaledByDx) {
  const CoefficientCase cases[] = {
      {1, 1, 3, 3, 2, 2, 8},       // square cells: the plain four-neighbour mean
      {1, 1, 11, 11, 10, 10, 40},  // dx/dy exactly 1, so aN is exactly 1/dy
      {1, 2, 3, 3, 2, 0.5, 5},     // dy = 2 dx: north/south weigh dx/dy^2
      {3, 1, 4, 3, 1, 4, 10},      // dx = 2 dy
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "Lx=" << c.Lx << " Ly=" << c.Ly << " " << c.Nx << "x" << c.Ny);
    build_plate(c.Lx, c.Ly, c.Nx, c.Ny);
    EXPECT_EQ(v::aE, c.aE);
    EXPECT_EQ(v::aN, c.aN);
    EXPECT_EQ(v::aP, c.aP);
  }
}

TEST(EdgeValues, TopRowIsSineOfStoredCoordinateOthersZero) {
  build_plate(1, 1, 3, 3);
  EXPECT_EQ(v::T[7], 0.0);
  EXPECT_EQ(v::T[8], 1.0);
  // sin of the double nearest pi, not 0.
  EXPECT_GT(v::T[9], 1.0e-16);
  EXPECT_LT(v::T[9], 1.3e-16);
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(v::T[k], 0.0) << "k=" << k;
}

// ---------------------------------------------------------------------------
// Residual norms

struct NormCase {
  double Lx, Ly;
  int Nx, Ny;
  double L1, L2, Linf, within;
};

TEST(ResidualNorms, InitialField) {
  const NormCase cases[] = {
      // One interior node, r = (1 + 0)*2.
      {1, 1, 3, 3, 2, 4, 2, 0},
      // Two interior nodes, each r = 4 sin(pi/3); L2 is the sum of squares, no root.
      {3, 1, 4, 3, 6.92820323027551, 24, 3.46410161513775, 1e-13},
      {1, 1, 11, 11, 63.13751514675, 500, 10, 1e-11},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "Lx=" << c.Lx << " Ly=" << c.Ly << " " << c.Nx << "x" << c.Ny);
    build_plate(c.Lx, c.Ly, c.Nx, c.Ny);
    EXPECT_NEAR(v::L1[0], c.L1, c.within);
    EXPECT_NEAR(v::L2[0], c.L2, c.within);
    EXPECT_NEAR(v::Linf[0], c.Linf, c.within);
  }
}

TEST(ResidualNorms, NeighbourPairsSummedBeforeWeighting) {
  // 1 + 2^-53 rounds to 1 before the weight 3 applies; weighting each neighbour
  // first would give 3 + 2^-51.
  double T[10] = {};
  T[4] = 0x1p-53;
  T[6] = 1.0;
  double l1 = -1, l2 = -1, linf = -1;
  solvers::norm_L1(5.0, 3.0, 1.0, 3, 3, T, l1);
  solvers::norm_L2(5.0, 3.0, 1.0, 3, 3, T, l2);
  solvers::norm_Linf(5.0, 3.0, 1.0, 3, 3, T, linf);
  EXPECT_EQ(l1, 3.0);
  EXPECT_EQ(l2, 9.0);
  EXPECT_EQ(linf, 3.0);
}

TEST(ResidualNorms, NoInteriorNodeGivesZeroWhateverWasThere) {
  const int sizes[][2] = {{2, 2}, {2, 5}, {5, 2}, {1, 4}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1]);
    std::vector<double> T(static_cast<std::size_t>(s[0] * s[1]) + 1, 0.75);
    double l1 = 7, l2 = 7, linf = 7;
    solvers::norm_L1(8, 2, 2, s[0], s[1], T.data(), l1);
    solvers::norm_L2(8, 2, 2, s[0], s[1], T.data(), l2);
    solvers::norm_Linf(8, 2, 2, s[0], s[1], T.data(), linf);
    EXPECT_EQ(l1, 0.0);
    EXPECT_EQ(l2, 0.0);
    EXPECT_EQ(linf, 0.0);
  }
  double linf = 7;
  solvers::norm_Linf(8, 2, 2, 0, 5, nullptr, linf);
  EXPECT_EQ(linf, -DBL_MAX) << "an empty grid keeps the scan's starting value";
}

// ---------------------------------------------------------------------------
// Gauss-Seidel

TEST(GaussSeidel, SingleNodeSettlesInFirstSweepYetStopsOnlyAfterSecond) {
  build_plate(1, 1, 3, 3, 10, 0.0);
  solve();
  EXPECT_EQ(v::T[5], 0.25);
  EXPECT_EQ(v::L1[1], 0.0);
  EXPECT_EQ(v::L1[2], 0.0);
  EXPECT_EQ(v::it, 2);
}

TEST(GaussSeidel, UpdateIsATrueDivisionByCentreWeight) {
  // e = 3 (the pair sum rounds to 1 first); 3/5 = 0.6 while 3*(1/5) is 0.6000000000000001.
  double T[10] = {};
  T[4] = 0x1p-53;
  T[6] = 1.0;
  double L1[2] = {1, 0}, L2[2] = {}, Linf[2] = {};
  int it = -1;
  solvers::gauss_seidel_reference(5.0, 3.0, 1.0, 1, 0.0, 3, 3, L1, L2, Linf, it, T);
  EXPECT_EQ(T[5], 0.6);
  EXPECT_EQ(it, 1);
}

struct StopCase {
  const char* what;
  int n, itmax;
  double tol;
  int it;
};

TEST(GaussSeidel, IterationCount) {
  const StopCase cases[] = {
      {"no history element for a sweep", 3, 0, 0.0, 0},
      {"one sweep, no test", 3, 1, 0.0, 1},
      {"negative tol never met", 3, 7, -1.0, 7},
      {"tol 0 met by an exact zero", 3, 7, 0.0, 2},
      {"tol 0 not met while L1 > 0", 11, 30, 0.0, 30},
      {"earliest stop is sweep 2", 11, 10, 1.0, 2},
      {"converges", 11, 1000, 1e-6, 131},
      {"runs out of sweeps", 11, 50, 1e-6, 50},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    build_plate(1, 1, c.n, c.n, c.itmax, c.tol);
    solve();
    EXPECT_EQ(v::it, c.it);
  }
}

TEST(GaussSeidel, StopsAtFirstRatioNotAboveTolerance) {
  build_plate(1, 1, 11, 11, 1000, 1e-6);
  solve();
  ASSERT_EQ(v::it, 131);
  EXPECT_NEAR(ratio(130), 1.09e-6, 0.01e-6);
  EXPECT_NEAR(ratio(131), 9.82e-7, 0.01e-7);

  // A ratio equal to tol stops; one just above it does not.
  const double at_130 = ratio(130);
  build_plate(1, 1, 11, 11, 1000, at_130);
  solve();
  EXPECT_EQ(v::it, 130);
  build_plate(1, 1, 11, 11, 1000, std::nextafter(at_130, 0.0));
  solve();
  EXPECT_EQ(v::it, 131);
}

TEST(GaussSeidel, FiftySweepsReachAThousandthOfTheInitialResidual) {
  build_plate(1, 1, 11, 11, 50, 1e-6);
  solve();
  EXPECT_EQ(v::it, 50);
  EXPECT_NEAR(ratio(50), 3.33e-3, 0.01e-3);
}

TEST(GaussSeidel, HistoryBeyondLastSweepUntouched) {
  build_plate(1, 1, 11, 11, 300, 1e-6);
  const double initial[3] = {v::L1[0], v::L2[0], v::Linf[0]};
  for (int k = 1; k <= v::itmax; ++k) v::L1[k] = v::L2[k] = v::Linf[k] = -5.0;
  solve();
  ASSERT_EQ(v::it, 131);
  EXPECT_EQ(v::L1[0], initial[0]);
  EXPECT_EQ(v::L2[0], initial[1]);
  EXPECT_EQ(v::Linf[0], initial[2]);
  EXPECT_NE(v::L2[131], -5.0);
  EXPECT_NE(v::Linf[131], -5.0);
  for (int k = 132; k <= v::itmax; ++k) {
    ASSERT_EQ(v::L1[k], -5.0) << k;
    ASSERT_EQ(v::L2[k], -5.0) << k;
    ASSERT_EQ(v::Linf[k], -5.0) << k;
  }
}

TEST(GaussSeidel, EdgeValuesBitIdenticalAfterSolving) {
  const double plates[][4] = {{1, 1, 11, 11}, {3, 1, 4, 3}, {1, 2, 7, 5}};
  for (const auto& p : plates) {
    SCOPED_TRACE(testing::Message() << "Lx=" << p[0] << " Ly=" << p[1]);
    build_plate(p[0], p[1], static_cast<int>(p[2]), static_cast<int>(p[3]), 100, 1e-8);
    const std::vector<double> before = v::T;
    solve();
    for (int k = 1; k <= v::N; ++k) {
      if (is_edge(k)) {
        EXPECT_EQ(std::memcmp(&v::T[k], &before[k], sizeof(double)), 0) << "k=" << k;
      }
    }
  }
}

// Largest nodal error after converging on an Lx = 2, Ly = 1 plate with n x n
// nodes, so dx = 2 dy.
double error_on_wide_plate(int n) {
  build_plate(2, 1, n, n, 50000, 1e-13);
  solve();
  processamento::analytic_solution();
  double worst = 0;
  for (int k = 1; k <= v::N; ++k) worst = std::fmax(worst, std::fabs(v::T[k] - v::Ta[k]));
  return worst;
}

TEST(GaussSeidel, ErrorFallsWithSpacingOnRectangularCells) {
  const double coarse = error_on_wide_plate(5);
  const double medium = error_on_wide_plate(9);
  const double fine = error_on_wide_plate(17);
  // Second order: halving both spacings divides the error by about four.
  EXPECT_GT(coarse / medium, 3.5);
  EXPECT_GT(medium / fine, 3.5);
  EXPECT_LT(fine, 1e-3);
}

// ---------------------------------------------------------------------------
// Analytical solution and means

struct MeanCase {
  double Lx, Ly, Tm_a;
};

TEST(AnalyticMean, DependsOnlyOnAspectRatio) {
  const MeanCase cases[] = {
      {1, 1, 0.18585392046029},
      {2, 1, 0.26578337934610},
      {1, 0.5, 0.26578337934610},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "Lx=" << c.Lx << " Ly=" << c.Ly);
    build_plate(c.Lx, c.Ly, 5, 5);
    processamento::analytic_solution();
    EXPECT_NEAR(v::Tm_a, c.Tm_a, 5e-15);
  }
}

TEST(AnalyticMean, SameBitsAsPlainFormulaWhereItIsFinite) {
  // The last two have sinh(a) above 2^512 and so take the scaled path.
  const double heights[] = {0.5, 1, 3, 50, 120, 200};
  for (double Ly : heights) {
    SCOPED_TRACE(testing::Message() << "Ly=" << Ly);
    build_plate(1, Ly, 3, 3);
    processamento::analytic_solution();
    const double pi = v::pi;
    const double a = (pi / 1.0) * Ly;
    const double s = ((rt::m_sinh(a) * pi) * pi) * Ly;
    const double q = (rt::m_cosh(a) - 1.0) / s;
    EXPECT_EQ(v::Tm_a, (q * 1.0) * 2.0);
  }
}

TEST(AnalyticMean, PlateNearTheLargestDoublesHasTheMeanOfItsScaledCopy) {
  // pi^2 Ly sinh(a) passes the double range; scaling both sides by 2^-64 keeps a,
  // every rounding and the mean, and takes the plain path.
  const MeanCase cases[] = {{1e307, 1e307, 0.18585392046029}, {1e308, 5e307, 0.26578337934610}, {3e307, 1.7e308, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "Lx=" << c.Lx << " Ly=" << c.Ly);
    build_plate(std::ldexp(c.Lx, -64), std::ldexp(c.Ly, -64), 3, 3);
    processamento::analytic_solution();
    const double scaled = v::Tm_a;
    build_plate(c.Lx, c.Ly, 3, 3);
    processamento::analytic_solution();
    EXPECT_EQ(v::Tm_a, scaled);
    if (c.Tm_a != 0) {
      EXPECT_NEAR(v::Tm_a, c.Tm_a, 5e-15);
    }
  }
}

TEST(AnalyticMeanDeathTest, FiniteWhereOnlyTheDenominatorWouldOverflow) {
  // a = 225.5 pi ~ 708.4: sinh(a) ~ 0.13 DBL_MAX, times pi^2 Ly is beyond it.
  EXPECT_EXIT(
      {
        rt::enable_fp_traps();
        build_plate(1, 225.5, 3, 3);
        processamento::analytic_solution();
        const double expected = 2.0 / (v::pi * v::pi * 225.5);
        std::_Exit(std::isfinite(v::Tm_a) && std::fabs(v::Tm_a / expected - 1.0) < 1e-14 ? 0 : 2);
      },
      testing::ExitedWithCode(0), "");
}

TEST(AnalyticField, ZeroOnBottomAndLeftTinyOnRight) {
  build_plate(1, 1, 11, 11);
  processamento::analytic_solution();
  for (int i = 1; i <= v::Nx; ++i) EXPECT_EQ(v::Ta[i], 0.0) << "bottom i=" << i;
  for (int j = 1; j <= v::Ny; ++j) {
    EXPECT_EQ(v::Ta[1 + (j - 1) * v::Nx], 0.0) << "left j=" << j;
    EXPECT_LT(std::fabs(v::Ta[j * v::Nx]), 1e-15) << "right j=" << j;
  }
  EXPECT_NEAR(v::Ta[6 + 10 * v::Nx], 1.0, 1e-15);
}

TEST(NumericalMean, SingleNodeWeighsByPosition) {
  // 4 x 3 nodes: six cells.
  const struct {
    const char* what;
    int k;
    double mean;
  } cases[] = {
      {"interior", 6, 1.0 / 6},           {"bottom edge", 2, 1.0 / 12},
      {"left edge", 5, 1.0 / 12},         {"bottom-left corner", 1, 1.0 / 24},
      {"top-right corner", 12, 1.0 / 24},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    double f[13] = {};
    f[c.k] = 1.0;
    EXPECT_EQ(processamento::mean_temperature(4, 3, f), c.mean);
  }
}

TEST(NumericalMean, CellCornersAddedWestPairFirst) {
  // ((f3 + f1) + f4) + f2 = ((1e16 + 1) - 1e16) + 1 = 1; adding in node order would give 2.
  const double f[5] = {0, 1, 1, 1e16, -1e16};
  EXPECT_EQ(processamento::mean_temperature(2, 2, f), 0.25);
}

TEST(NumericalMean, FieldOfOnesIsExactlyOne) {
  const int sizes[][2] = {{2, 2}, {3, 7}, {11, 11}, {100, 3}};
  for (const auto& s : sizes) {
    std::vector<double> f(static_cast<std::size_t>(s[0] * s[1]) + 1, 1.0);
    EXPECT_EQ(processamento::mean_temperature(s[0], s[1], f.data()), 1.0) << s[0] << "x" << s[1];
  }
}

// ---------------------------------------------------------------------------
// Floating-point faults end the run with the run-time's report

// Extended regular expression matching `text` literally.
std::string literal(const std::string& text) {
  std::string re;
  for (char ch : text) {
    if (std::strchr("\\^$.|?*+()[]{}", ch) != nullptr) re += '\\';
    re += ch;
  }
  return re;
}

std::string math_report(int number, const std::string& message) {
  return literal(testsupport::math_error_text(number, message));
}

// The seam hands each trapped kind to the handler the run-time installs; a kind
// mixed up there shows only as a wrong number in a report no other test asks for.
TEST(FpTrapSeam, EachTrappedKindReachesTheInstalledHandler) {
  using rt::plat::FpFault;
  const struct {
    double (*op)(double);
    FpFault kind;
  } cases[] = {
      {[](double z) { return z / z; }, FpFault::invalid},
      {[](double z) { return 1.0 / z; }, FpFault::divide_by_zero},
      {[](double z) { return 1e308 * (z + 10.0); }, FpFault::overflow},
  };
  for (const auto& c : cases) {
    testsupport::RunResult r = testsupport::run_forked([&] {
      rt::plat::enable_fp_traps([](FpFault k) { rt::plat::exit_now(40 + static_cast<int>(k)); });
      volatile double zero = 0.0;
      volatile double v = c.op(zero);
      (void)v;
    });
    EXPECT_EQ(r.status, 40 + static_cast<int>(c.kind)) << static_cast<int>(c.kind);
  }
}

TEST(FloatingPointFaultDeathTest, NoInteriorNodeTrapsInvalidAtFirstStoppingTest) {
  if (testsupport::windows())
    GTEST_SKIP() << "death tests read the output in text mode on Windows, CR LF arrives as LF; "
                    "Program.FloatingPointFaultsEndTheRunBeforeTheReport checks these bytes";
  EXPECT_EXIT(
      {
        rt::enable_fp_traps();
        build_plate(1, 1, 2, 4, 3, 1e-6);
        solve();
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), math_report(6101, "floating-point error: invalid"));
}

TEST(FloatingPointFaultDeathTest, NoInteriorNodeWithOneSweepReturns) {
  EXPECT_EXIT(
      {
        rt::enable_fp_traps();
        build_plate(1, 1, 5, 2, 1, 1e-6);
        solve();
        std::_Exit(v::it == 1 && v::L1[1] == 0.0 ? 0 : 2);
      },
      testing::ExitedWithCode(0), "");
}

TEST(FloatingPointFaultDeathTest, ZeroLengthTrapsDivideByZeroInCoefficients) {
  if (testsupport::windows())
    GTEST_SKIP() << "death tests read the output in text mode on Windows, CR LF arrives as LF; "
                    "Program.FloatingPointFaultsEndTheRunBeforeTheReport checks these bytes";
  // bc_top would divide 0 by 0 next; the coefficients come first.
  EXPECT_EXIT(
      {
        rt::enable_fp_traps();
        build_plate(0, 1, 3, 3);
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), math_report(6103, "floating-point error: divide by zero"));
}

TEST(FloatingPointFaultDeathTest, TallPlateOverflowsSinhByName) {
  if (testsupport::windows())
    GTEST_SKIP() << "death tests read the output in text mode on Windows, CR LF arrives as LF; "
                    "Program.FloatingPointFaultsEndTheRunBeforeTheReport checks these bytes";
  EXPECT_EXIT(
      {
        rt::enable_fp_traps();
        build_plate(1, 300, 3, 3);
        processamento::analytic_solution();
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), math_report(6203, "sinh: OVERFLOW error"));
}

TEST(FloatingPointFaultDeathTest, MathRoutinesNameTheirOwnErrors) {
  if (testsupport::windows())
    GTEST_SKIP() << "death tests read the output in text mode on Windows, CR LF arrives as LF";
  EXPECT_EXIT(
      {
        rt::enable_fp_traps();
        volatile double x = rt::m_acos(1.0) + rt::m_acos(-1.0) + rt::m_acos(2.0);
        (void)x;
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), math_report(6201, "acos: DOMAIN error"));
  EXPECT_EXIT(
      {
        rt::enable_fp_traps();
        volatile double x = rt::m_cosh(-709.5) + rt::m_cosh(711.0);
        (void)x;
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), math_report(6203, "cosh: OVERFLOW error"));
}

}  // namespace
