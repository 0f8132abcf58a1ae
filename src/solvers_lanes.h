// Vector lanes shared by the fast solver's sweep and the two-thread sums: the
// types, and the shuffles the sweep's skewed wavefront is made of.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace solvers::lanes {

// Spelled out per width: GCC does not treat a dependent vector_size as a vector.
template <int L>
struct Lanes;
template <>
struct Lanes<2> {
  typedef double real __attribute__((vector_size(16)));
  typedef std::uint64_t bits __attribute__((vector_size(16)));
};
template <>
struct Lanes<4> {
  typedef double real __attribute__((vector_size(32)));
  typedef std::uint64_t bits __attribute__((vector_size(32)));
};
template <>
struct Lanes<8> {
  typedef double real __attribute__((vector_size(64)));
  typedef std::uint64_t bits __attribute__((vector_size(64)));
};

template <int L>
using Vec = typename Lanes<L>::real;
template <int L>
using Bits = typename Lanes<L>::bits;

// Inlined into each instruction set's entry point, and compiled for it there.
#define CALOR2D_LANES_INLINE inline __attribute__((always_inline))

template <int L>
CALOR2D_LANES_INLINE void load(const double* from, Vec<L>& v) {
  std::memcpy(&v, from, sizeof v);
}

// Lanes Off..Off+L-1 of the concatenation lo:hi.
template <int L, int Off, std::size_t... I>
CALOR2D_LANES_INLINE void window(const Vec<L>& lo, const Vec<L>& hi, Vec<L>& out, std::index_sequence<I...>) {
  out = __builtin_shufflevector(lo, hi, (Off + static_cast<int>(I))...);
}

// Lanes of the low (Hi = 0) or high halves of a and b, alternately.
template <int L, int Hi, std::size_t... I>
CALOR2D_LANES_INLINE void interleave(const Vec<L>& a, const Vec<L>& b, Vec<L>& out, std::index_sequence<I...>) {
  out = __builtin_shufflevector(a, b, (static_cast<int>(I % 2) * L + Hi * (L / 2) + static_cast<int>(I / 2))...);
}

template <int L, int Q, std::size_t... I>
CALOR2D_LANES_INLINE void broadcast(const Vec<L>& a, Vec<L>& out, std::index_sequence<I...>) {
  out = __builtin_shufflevector(a, a, (static_cast<int>(I) * 0 + Q)...);
}

// m[i][j] becomes m[j][i]: log2(L) rounds of interleaving row i with row i+L/2.
template <int L>
CALOR2D_LANES_INLINE void transpose(Vec<L> (&m)[L]) {
#pragma GCC unroll 4
  for (int round = 1; round < L; round *= 2) {
    Vec<L> next[L];
#pragma GCC unroll 8
    for (int i = 0; i < L / 2; ++i) {
      interleave<L, 0>(m[i], m[i + L / 2], next[2 * i], std::make_index_sequence<L>());
      interleave<L, 1>(m[i], m[i + L / 2], next[2 * i + 1], std::make_index_sequence<L>());
    }
    for (int i = 0; i < L; ++i) m[i] = next[i];
  }
}

#undef CALOR2D_LANES_INLINE

}  // namespace solvers::lanes
