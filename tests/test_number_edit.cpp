// Number editing: the decimal form (two-stage rounding) and the E, F, I editors.
//
// Expected digits and fields were worked out from exact decimal expansions made
// apart from this code (a separate arbitrary-precision expansion), and by hand for
// the short ones.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "runtime/number_edit.h"

namespace {

#ifdef NDEBUG
constexpr int sweep = 200000;  // per generated family; the reference costs microseconds a value
#else
constexpr int sweep = 10000;  // debug and sanitizer builds
#endif

double from_bits(std::uint64_t b) { return std::bit_cast<double>(b); }

std::string digits_of(const rt::Decimal& d) { return std::string(d.digits, static_cast<std::size_t>(d.count)); }

std::string E(double x, int w = 25, int d = 15, int k = 1) {
  std::string s(static_cast<std::size_t>(w), '?');
  rt::edit_e(s.data(), w, d, k, x);
  return s;
}
std::string F(double x, int w = 15, int d = 3, int k = 0) {
  std::string s(static_cast<std::size_t>(w), '?');
  rt::edit_f(s.data(), w, d, k, x);
  return s;
}
std::string I(std::int32_t v, int w = 10) {
  std::string s(static_cast<std::size_t>(w), '?');
  rt::edit_i(s.data(), w, v);
  return s;
}

// ---- Decimal form -------------------------------------------------------------------

struct FormCase {
  double x;
  const char* digits;
  int p;
};

void expect_form(const FormCase& c) {
  const rt::Decimal d = rt::decimal_form(c.x);
  EXPECT_EQ(d.special, rt::Special::none) << c.x;
  EXPECT_EQ(digits_of(d), c.digits) << c.x;
  EXPECT_EQ(d.p, c.p) << c.x;
  EXPECT_EQ(d.negative, c.x < 0) << c.x;
}

TEST(DecimalForm, HandWorkedExpansions) {
  const FormCase cases[] = {
      {1.0, "1", 1},
      {0.5, "5", 0},
      {-2.5e-7, "24999999999999999", -6},  // 2.49999999999999989...e-7
      {123456.789, "123456789", 6},        // 123456.789000000004307...: D18 = 4
      {0.1, "10000000000000001", 0},       // 0.100000000000000005551...
      {1e23, "99999999999999992", 23},     // 99999999999999991611392
      {1.7976931348623157e308, "17976931348623157", 309},
      {2.2250738585072014e-308, "22250738585072014", -307},  // ...7201383090...
      {5e-324, "49406564584124654", -323},                   // 4.94065645841246544176...e-324
      {std::ldexp(1.0, 57), "14411518807585587", 18},        // 144115188075855872
  };
  for (const auto& c : cases) expect_form(c);
}

TEST(DecimalForm, HalfUpOnEighteenthDigit) {
  const FormCase cases[] = {
      {1.0 / 7.0, "14285714285714285", 0},             // 0.142857142857142849...: D18 = 9
      {816608365162674.125, "81660836516267413", 15},  // exact tie, D17 even: still up
      {1178985674209445.25, "11789856742094453", 16},  // exact tie
  };
  for (const auto& c : cases) expect_form(c);
}

TEST(DecimalForm, NoDigitBeyondEighteenthTakesPart) {
  // 9.96554376759366534999931...e-76: D18 = 4 followed by nines is cut, not rounded.
  expect_form({9.965543767593665e-76, "99655437675936653", -75});
  // 5.34468833975351394999...e172 likewise.
  expect_form({5.344688339753514e172, "53446883397535139", 173});
}

TEST(DecimalForm, CarryOutOfFirstDigit) {
  const FormCase cases[] = {
      {1e-14, "1", -13},    // 9.99999999999999999881...e-15: seventeen nines, D18 = 8
      {1e98, "1", 99},      // 9.99999999999999999769...e97
      {1e-243, "1", -242},  // 9.99999999999999999538...e-244: D18 = 5
  };
  for (const auto& c : cases) expect_form(c);
}

TEST(DecimalForm, ZeroOfEitherSignHasNoSign) {
  for (double z : {0.0, -0.0}) {
    const rt::Decimal d = rt::decimal_form(z);
    EXPECT_EQ(digits_of(d), "0");
    EXPECT_EQ(d.p, 0);
    EXPECT_FALSE(d.negative);
  }
}

TEST(DecimalForm, SpecialsByBitPattern) {
  const struct {
    std::uint64_t bits;
    rt::Special want;
  } cases[] = {
      {0x7FF0000000000000u, rt::Special::inf},  {0xFFF0000000000000u, rt::Special::inf},
      {0xFFF8000000000000u, rt::Special::ind},  {0x7FF8000000000000u, rt::Special::qnan},
      {0xFFF8000000000001u, rt::Special::qnan}, {0x7FFFFFFFFFFFFFFFu, rt::Special::qnan},
      {0x7FF0000000000001u, rt::Special::snan}, {0xFFF7FFFFFFFFFFFFu, rt::Special::snan},
  };
  for (const auto& c : cases) {
    const rt::Decimal d = rt::decimal_form(from_bits(c.bits));
    EXPECT_EQ(d.special, c.want) << std::hex << c.bits;
    EXPECT_FALSE(d.negative);
  }
}

// Values above 10^18 with 5^q dividing the mantissa scale to an exact integer,
// where the truncated reciprocal alone cannot settle the floor.
TEST(DecimalForm, IntegerQuotientsSettleOnTheFastPath) {
  const FormCase cases[] = {
      {1e18, "1", 19},
      {1e20, "1", 21},
      {1e22, "1", 23},
      {3e19, "3", 20},
      {std::ldexp(2384185791015625.0, 79), "14411518807585587", 40},  // 5^22 * 2^79 = 2^57 * 10^22
      {12345678901234567e3, "12345678901234567", 20},
  };
  for (const auto& c : cases) {
    rt::Decimal d;
    EXPECT_TRUE(rt::decimal_form_fast(c.x, d)) << c.x;
    expect_form(c);
  }
}

// ---- Fast path against the reference --------------------------------------------------

int g_fallbacks = 0;
rt::Decimal g_reference;  // what the reference source below hands the editors

void expect_same(double x) {
  const rt::Decimal ref = rt::decimal_form_reference(x);
  rt::Decimal fast;
  if (!rt::decimal_form_fast(x, fast)) {
    ++g_fallbacks;
    fast = rt::decimal_form(x);
  }
  if (fast.special != ref.special || fast.negative != ref.negative || fast.p != ref.p ||
      digits_of(fast) != digits_of(ref)) {
    ADD_FAILURE() << "x = " << std::hexfloat << x << ": fast " << digits_of(fast) << " p=" << fast.p << ", reference "
                  << digits_of(ref) << " p=" << ref.p;
  }
  // The E25.15 field, which the program edits straight from the digits, and the
  // narrowest width, where a minus sign no longer fits.
  for (int w : {25, 21}) {
    char direct[25], general[25];
    rt::edit_e(direct, w, 15, 1, x);
    g_reference = ref;
    rt::set_decimal_source([](double) { return g_reference; });
    rt::edit_e(general, w, 15, 1, x);
    rt::set_decimal_source(nullptr);
    if (std::string(direct, static_cast<std::size_t>(w)) != std::string(general, static_cast<std::size_t>(w)))
      ADD_FAILURE() << "x = " << std::hexfloat << x << ": E" << w << ".15 field " << std::string(direct, w)
                    << ", from the reference " << std::string(general, w);
  }
}

class FastPath : public ::testing::Test {
 protected:
  void SetUp() override { g_fallbacks = 0; }
  // None of the generated families comes close enough to a digit boundary to
  // need the big-integer fallback.
  void TearDown() override { EXPECT_EQ(g_fallbacks, 0); }
  std::mt19937_64 rng{20240611};
};

TEST_F(FastPath, AgreesOnRandomBitPatterns) {
  for (int i = 0; i < sweep; ++i) expect_same(from_bits(rng()));
}

TEST_F(FastPath, AgreesOnEveryBinaryExponent) {
  for (std::uint64_t biased = 0; biased < 2047; ++biased) {
    const std::uint64_t fractions[] = {0,
                                       1,
                                       (std::uint64_t{1} << 52) - 1,
                                       std::uint64_t{1} << 51,
                                       rng() >> 12,
                                       rng() >> 12,
                                       (rng() >> 56) << 44,  // few significant bits: short expansions
                                       (rng() >> 60) << 48};
    for (std::uint64_t f : fractions) {
      expect_same(from_bits((biased << 52) | f));
      expect_same(-from_bits((biased << 52) | f));
    }
  }
}

TEST_F(FastPath, AgreesOnPowersOfTenAndNeighbours) {
  for (int k = -323; k <= 308; ++k) {
    const double v = std::strtod(("1e" + std::to_string(k)).c_str(), nullptr);
    double lo = v, hi = v;
    expect_same(v);
    for (int step = 0; step < 3; ++step) {
      lo = std::nextafter(lo, 0.0);
      hi = std::nextafter(hi, std::numeric_limits<double>::infinity());
      expect_same(lo);
      expect_same(hi);
    }
  }
}

// Decimal texts with 17 random digits and a tail at the 18th digit parse to the
// doubles nearest to the tie, from either side.
TEST_F(FastPath, AgreesNearEighteenthDigitTies) {
  const char* tails[] = {"5", "49999", "50000", "50001", "4", "9999"};
  std::uniform_int_distribution<int> digit(0, 9), lead(1, 9), exp10(-330, 310);
  for (int i = 0; i < sweep / 2; ++i) {
    std::string s(1, static_cast<char>('0' + lead(rng)));
    s += '.';
    for (int j = 0; j < 16; ++j) s += static_cast<char>('0' + digit(rng));
    s += tails[i % 6];
    s += "e" + std::to_string(exp10(rng));
    const double v = std::strtod(s.c_str(), nullptr);
    expect_same(v);
    expect_same(std::nextafter(v, 0.0));
  }
}

TEST_F(FastPath, AgreesThroughCarriesOfNines) {
  for (int nines = 15; nines <= 20; ++nines) {
    for (int k = -320; k <= 300; k += 7) {
      const std::string s = "0." + std::string(static_cast<std::size_t>(nines), '9') + "e" + std::to_string(k);
      const double v = std::strtod(s.c_str(), nullptr);
      expect_same(v);
      expect_same(std::nextafter(v, 0.0));
    }
  }
}

TEST_F(FastPath, AgreesOnSubnormalsAndZeros) {
  for (std::uint64_t f = 0; f <= 2000; ++f) expect_same(from_bits(f));
  expect_same(-0.0);
  for (int i = 0; i < sweep / 4; ++i) expect_same(from_bits(rng() >> 12));
}

TEST_F(FastPath, AgreesOnIntegersAndDecimalMultiples) {
  std::uniform_int_distribution<int> exp10(0, 40), small(1, 999999);
  for (int i = 0; i < sweep / 4; ++i) {
    expect_same(static_cast<double>(rng()));
    expect_same(static_cast<double>(rng() >> (i % 64)));
    // m * 10^j, exact while it fits: quotients by powers of ten that are integers.
    expect_same(small(rng) * std::pow(10.0, exp10(rng)));
  }
}

// ---- Portable 64x64-bit product --------------------------------------------------------
// Only 32-bit builds multiply this way, so every build checks it here.

struct Wide {
  std::uint64_t hi, lo;
};

Wide portable_product(std::uint64_t a, std::uint64_t b) {
  Wide w{};
  w.lo = rt::detail::mul64_portable(a, b, w.hi);
  return w;
}

TEST(PortableProduct, HandWorkedProducts) {
  constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  constexpr std::uint64_t two32 = std::uint64_t{1} << 32;
  const struct {
    std::uint64_t a, b;
    Wide product;
  } cases[] = {
      {0, max, {0, 0}},
      {1, max, {0, max}},
      {max, max, {max - 1, 1}},          // (2^64-1)^2 = 2^128 - 2^65 + 1
      {two32, two32, {1, 0}},            // carry out of the low word alone
      {two32 + 1, two32 - 1, {0, max}},  // 2^64 - 1: no carry at all
      {two32 - 1, two32 - 1, {0, 0xfffffffe00000001}},
      {std::uint64_t{1} << 63, 2, {1, 0}},
      {0xffffffff00000000, 0xffffffff00000000, {0xfffffffe00000001, 0}},
      {0x0123456789abcdef, 0xfedcba9876543210, {0x0121fa00ad77d742, 0x2236d88fe5618cf0}},
  };
  for (const auto& c : cases) {
    const Wide w = portable_product(c.a, c.b);
    EXPECT_EQ(w.hi, c.product.hi) << std::hex << c.a << " * " << c.b;
    EXPECT_EQ(w.lo, c.product.lo) << std::hex << c.a << " * " << c.b;
  }
}

// Low words against the wrapping 64-bit product, high words against the
// compiler's 128-bit product where there is one.
TEST(PortableProduct, AgreesWithNativeProduct) {
  std::vector<std::uint64_t> edges = {0, 1, 2, 3, 0xffffffff, 0x100000001, 0x8000000080000000, 0x7fffffff7fffffff};
  for (int k = 1; k < 64; ++k) {
    const std::uint64_t p = std::uint64_t{1} << k;
    edges.insert(edges.end(), {p, p - 1, p + 1, ~p, ~(p - 1)});
  }
  std::mt19937_64 rng{20240611};
  std::vector<std::pair<std::uint64_t, std::uint64_t>> pairs;
  for (std::uint64_t a : edges)
    for (std::uint64_t b : edges) pairs.emplace_back(a, b);
  for (int i = 0; i < sweep; ++i) {
    const std::uint64_t a = rng(), b = rng();
    pairs.emplace_back(a, b);
    pairs.emplace_back(a | 0xffffffff, b | 0xffffffff);  // all-ones halves: longest carries into `hi`
    pairs.emplace_back(a >> (i % 64), b);
  }
  int failures = 0;
  for (const auto& [a, b] : pairs) {
    const Wide w = portable_product(a, b);
    bool same = w.lo == a * b;
#if defined(__SIZEOF_INT128__)
    __extension__ const unsigned __int128 r = static_cast<unsigned __int128>(a) * b;
    same = same && w.hi == static_cast<std::uint64_t>(r >> 64);
#endif
    if (!same && ++failures <= 10) ADD_FAILURE() << std::hex << a << " * " << b << " -> " << w.hi << ":" << w.lo;
  }
  EXPECT_EQ(failures, 0);
}

// ---- E editing ----------------------------------------------------------------------

struct EditCase {
  double x;
  const char* field;
};

TEST(EditE25_15, WorkedExamples) {
  const EditCase cases[] = {
      {1.0, "    1.000000000000000E+00"},
      {0.1, "    1.000000000000000E-01"},
      {-2.5e-7, "   -2.500000000000000E-07"},
      {0.0, "    0.000000000000000E+00"},
      {-0.0, "    0.000000000000000E+00"},
      {123456.789, "    1.234567890000000E+05"},
      {1e100, "    1.000000000000000+100"},
      {1e-300, "    1.000000000000000-300"},
      {1e23, "    9.999999999999999E+22"},
      {1.0 / 7.0, "    1.428571428571429E-01"},
      {std::nextafter(1.0, 0.0), "    9.999999999999999E-01"},
      {5e-324, "    4.940656458412465-324"},
      {std::numeric_limits<double>::infinity(), "1#INF...................."},
      {-std::numeric_limits<double>::infinity(), "1#INF...................."},
  };
  for (const auto& c : cases) EXPECT_EQ(E(c.x), c.field) << c.x;
}

TEST(EditE25_15, ExponentBeyondNinetyNineDropsLetter) {
  const EditCase cases[] = {
      {1e-99, "    1.000000000000000E-99"},
      {1e-100, "    1.000000000000000-100"},
      {-1.7976931348623157e308, "   -1.797693134862316+308"},
      {2.2250738585072014e-308, "    2.225073858507201-308"},
  };
  for (const auto& c : cases) EXPECT_EQ(E(c.x), c.field) << c.x;
}

TEST(EditE25_15, SecondRoundingCarriesThroughNines) {
  // 1e-291 is 9.9999999999999999 6...e-292 after the first rounding: the second
  // rounding carries through sixteen nines into the exponent.
  EXPECT_EQ(E(1e-291), "    1.000000000000000-291");
  EXPECT_EQ(E(1e-283), "    1.000000000000000-283");  // seventeenth digit exactly 5
  EXPECT_EQ(E(1e-299), "    1.000000000000000-299");  // seventeen nines
  EXPECT_EQ(E(1e-14), "    1.000000000000000E-14");   // carried already by the first
}

TEST(EditE, ScaleFactorsOtherThanOne) {
  const struct {
    double x;
    int w, d, k;
    const char* field;
  } cases[] = {
      {123456.789, 25, 15, 0, "     .123456789000000E+06"},
      {-123456.789, 25, 15, 0, "    -.123456789000000E+06"},
      {1.0 / 7.0, 25, 15, 0, "     .142857142857143E+00"},
      {123456.789, 25, 15, 2, "    12.34567890000000E+04"},
      {1.0 / 7.0, 25, 15, 2, "    14.28571428571429E-02"},
      {123456.789, 15, 8, -2, "  .00123457E+08"},
      {-123456.789, 15, 8, -2, " -.00123457E+08"},
      {123456.789, 15, 8, 10, "***************"},  // k beyond d + 1
      {123456.789, 15, 8, -8, "***************"},  // k at -d
  };
  for (const auto& c : cases) EXPECT_EQ(E(c.x, c.w, c.d, c.k), c.field) << c.x << " k=" << c.k;
}

TEST(EditE, NarrowFieldFillsWithAsterisks) {
  EXPECT_EQ(E(-1.0, 8, 3), "********");
  EXPECT_EQ(E(-1.0, 10, 3), "-1.000E+00");
  EXPECT_EQ(E(1.0, 9, 3), "1.000E+00");
}

TEST(EditE, SpecialsFillWithFullStopsAndCutToWidth) {
  EXPECT_EQ(E(from_bits(0xFFF8000000000000u), 10, 3), "1#IND.....");
  EXPECT_EQ(E(from_bits(0x7FF8000000000000u), 10, 3), "1#QNAN....");
  EXPECT_EQ(E(from_bits(0x7FF0000000000001u), 10, 3), "1#SNAN....");
  EXPECT_EQ(E(std::numeric_limits<double>::infinity(), 3, 1), "1#I");
  EXPECT_EQ(F(-std::numeric_limits<double>::infinity()), "1#INF..........");
}

// ---- F editing ----------------------------------------------------------------------

TEST(EditF15_3, WorkedExamples) {
  const EditCase cases[] = {
      {0.5, "           .500"},        {0.05, "           .050"},   {0.0, "           .000"},
      {-0.0, "           .000"},       {0.0004, "           .000"}, {-0.0004, "           .000"},
      {0.0005, "           .001"},     {-0.25, "          -.250"},  {1.2345, "          1.234"},
      {2.0005, "          2.001"},     {0.9996, "          1.000"}, {9.9996, "         10.000"},
      {123456.789, "     123456.789"}, {1e11, "***************"},
  };
  for (const auto& c : cases) EXPECT_EQ(F(c.x), c.field) << c.x;
}

TEST(EditF15_3, WidthLimitsOfIntegerPart) {
  const EditCase cases[] = {
      {1e10, "10000000000.000"},
      {9999999999.9996, "10000000000.000"},  // rounds up to eleven integer digits
      {-1e10, "***************"},            // the minus makes sixteen
      {-9999999999.9996, "***************"},
      {99999999999.9996, "***************"},  // rounds up to twelve
      {-999999999.9994, " -999999999.999"},
  };
  for (const auto& c : cases) EXPECT_EQ(F(c.x), c.field) << c.x;
}

TEST(EditF, OtherWidthsAndScaleFactors) {
  EXPECT_EQ(F(1e20, 30, 3), "     100000000000000000000.000");  // digits past the 16th are zeros
  EXPECT_EQ(F(-1e-5, 30, 3), "                          .000");
  EXPECT_EQ(F(2.5, 5, 0), "   3.");
  EXPECT_EQ(F(0.4, 5, 0), "    .");
  EXPECT_EQ(F(-0.4, 5, 0), "    .");
  EXPECT_EQ(F(2.5, 10, 3, 1), "    25.000");
  EXPECT_EQ(F(2.5, 10, 3, -1), "      .250");
}

// ---- I editing ----------------------------------------------------------------------

TEST(EditI10, WorkedExamples) {
  const struct {
    std::int32_t v;
    const char* field;
  } cases[] = {
      {0, "         0"},           {-1, "        -1"},
      {2147483647, "2147483647"},  {std::numeric_limits<std::int32_t>::min(), "**********"},
      {999999999, " 999999999"},   {-999999999, "-999999999"},
      {-1000000000, "**********"},  // eleven characters as well
  };
  for (const auto& c : cases) EXPECT_EQ(I(c.v), c.field) << c.v;
}

TEST(EditI, NarrowField) {
  EXPECT_EQ(I(12345, 3), "***");
  EXPECT_EQ(I(-7, 2), "-7");
  EXPECT_EQ(I(7, 1), "7");
}

}  // namespace
