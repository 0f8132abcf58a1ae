// One E25.15 field (1P): the time per value of the decimal form and of the whole
// edit, side by side with the big-integer conversion they must agree with. The
// values are those of a listing (coordinates, temperatures in [0, 1] and their
// errors near 1e-6) and arbitrary finite bit patterns. The target of the edit on
// listing values is at most 40 ns.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "runtime/number_edit.h"

namespace {

std::vector<double> listing_values() {
  std::mt19937_64 g(15);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> v;
  for (int i = 0; i < 4096; ++i) {
    const double x = unit(g), t = unit(g);
    v.push_back(x);
    v.push_back(t);
    v.push_back(t * (1 + 1e-6 * unit(g)) - t);
  }
  return v;
}

std::vector<double> bit_patterns() {
  std::mt19937_64 g(16);
  std::vector<double> v;
  while (v.size() < 4096) {
    const double x = std::bit_cast<double>(g());
    if (std::isfinite(x)) v.push_back(x);
  }
  return v;
}

const std::vector<double> listing = listing_values();
const std::vector<double> patterns = bit_patterns();

template <typename F>
void per_value(benchmark::State& state, const std::vector<double>& values, F f) {
  for (auto _ : state)
    for (double x : values) f(x);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}

void decimal(benchmark::State& s, const std::vector<double>* v, rt::Decimal (*form)(double)) {
  per_value(s, *v, [&](double x) {
    rt::Decimal d = form(x);
    benchmark::DoNotOptimize(d);
  });
}

void edit(benchmark::State& s, const std::vector<double>* v, rt::Decimal (*form)(double)) {
  rt::set_decimal_source(form);
  char field[25];
  per_value(s, *v, [&](double x) {
    rt::edit_e(field, 25, 15, 1, x);
    benchmark::DoNotOptimize(field);
  });
  rt::set_decimal_source(nullptr);
}

// Every value once through both conversions: a benchmark of wrong digits is void.
bool agree() {
  for (const auto* v : {&listing, &patterns}) {
    for (double x : *v) {
      char a[25], b[25];
      rt::edit_e(a, 25, 15, 1, x);
      rt::set_decimal_source(rt::decimal_form_reference);
      rt::edit_e(b, 25, 15, 1, x);
      rt::set_decimal_source(nullptr);
      if (std::memcmp(a, b, 25) != 0) return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!agree()) {
    std::fprintf(stderr, "the fields differ from the big-integer conversion's\n");
    return 1;
  }
  using benchmark::RegisterBenchmark;
  for (const auto& [name, values] : {std::pair{"listing", &listing}, std::pair{"bits", &patterns}}) {
    const std::string n = name;
    RegisterBenchmark(("decimal_form/" + n).c_str(), decimal, values, rt::decimal_form);
    RegisterBenchmark(("decimal_form_bigint/" + n).c_str(), decimal, values, rt::decimal_form_reference);
    RegisterBenchmark(("edit_e25_15/" + n).c_str(), edit, values, nullptr);
    RegisterBenchmark(("edit_e25_15_bigint/" + n).c_str(), edit, values, rt::decimal_form_reference);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
