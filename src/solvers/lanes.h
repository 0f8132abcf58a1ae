// Vector lanes shared by the fast solver's sweep and the two-thread sums: the
// types, the shuffles the sweep's skewed wavefront is made of, and the residual
// both the sweep's own norms and the helper's compute.
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

// Steps 1-5 of the residual of node n, shared with the update:
// (north + south) * aN + (east + west) * aE.
CALOR2D_LANES_INLINE double neighbours(const double* T, std::ptrdiff_t Nx, double aE, double aN, std::ptrdiff_t n) {
  const double a = T[n + Nx] + T[n - Nx];
  const double b = a * aN;
  const double c = T[n + 1] + T[n - 1];
  const double d = c * aE;
  return b + d;
}

// The residual of node n, with the reference's operations in its order.
CALOR2D_LANES_INLINE double residual(const double* T, std::ptrdiff_t Nx, double aP, double aE, double aN,
                                     std::ptrdiff_t n) {
  return neighbours(T, Nx, aE, aN, n) - T[n] * aP;
}

// The same for the L nodes from c on, lane by lane. (Vectors go out through
// references: returned by value, their ABI would differ between instruction sets.)
template <int L>
CALOR2D_LANES_INLINE void residuals(const double* c, std::ptrdiff_t Nx, double aP, double aE, double aN, Vec<L>& r) {
  Vec<L> tn, ts, te, tw, tc;
  load<L>(c + Nx, tn);
  load<L>(c - Nx, ts);
  load<L>(c + 1, te);
  load<L>(c - 1, tw);
  load<L>(c, tc);
  const Vec<L> a = tn + ts;
  const Vec<L> b = a * aN;
  const Vec<L> cc = te + tw;
  const Vec<L> d = cc * aE;
  const Vec<L> e = b + d;
  const Vec<L> f = tc * aP;
  r = e - f;
}

// |v| lane by lane: the sign bit cleared, as fabs does.
template <int L>
CALOR2D_LANES_INLINE void magnitude(const Vec<L>& v, Vec<L>& out) {
  Bits<L> mask;
  for (int l = 0; l < L; ++l) mask[l] = 0x7fffffffffffffffULL;
  out = reinterpret_cast<Vec<L>>(reinterpret_cast<Bits<L>>(v) & mask);
}

#undef CALOR2D_LANES_INLINE

}  // namespace solvers::lanes
