// Fast Gauss-Seidel: the reference's operations on the same operands, reordered.
//
// Why the bits cannot change:
//  - A strip of h rows is swept as a skewed wavefront, row j0+r running r columns
//    behind row j0. When a node is computed its west and south neighbours are
//    already new and its east and north still old, exactly as in the row-by-row
//    sweep, so every update sees the same operands.
//  - The nodes of one wavefront step do not depend on each other; they are vector
//    lanes computing the same per-lane IEEE operations (no contraction, a true
//    division by aP).
//  - With the norms (sweep_with_norms), L1 and L2 are added one node at a time in node order by a cursor that trails
//    the wavefront, taking a node only once its north neighbour has been swept,
//    so each residual is computed on the final field of the sweep. Linf is a
//    maximum and does not depend on the order.
// Nothing is computed that the plain sweep would not: the ramp steps at both ends
// of a strip, strips lower than a full vector set and row ends shorter than a
// vector go one node at a time, so no padding lane can raise a trap.
#include "solvers/wavefront.h"
#include "solvers/lanes.h"

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>

#include "solvers/solvers.h"

// The kernels are templates inlined into one entry point per instruction set, so
// each is compiled with that entry point's target options.
#define CALOR2D_INLINE inline __attribute__((always_inline))

namespace solvers {

namespace fast {

namespace {

using Index = std::ptrdiff_t;

using lanes::broadcast;
using lanes::load;
using lanes::magnitude;
using lanes::neighbours;
using lanes::residual;
using lanes::residuals;
using lanes::transpose;
using lanes::Vec;
using lanes::window;

struct Plate {
  double aP, aE, aN;
  int Nx, Ny;
  double* T;
};

constexpr int staged_max = 256;

// Norm accumulators and the cursor of the next node to add (row, 0-based column).
// Residuals are staged as |r| and r*r and added to the two chains one call
// later, when their stores have long reached the cache.
template <int L>
struct Sums {
  int row;
  int col;
  double l1;
  double l2;
  double linf;
  Vec<L> vinf;  // lane maxima, merged into linf at the end
  int staged;
  alignas(64) double abs_r[staged_max];
  alignas(64) double sq_r[staged_max];
};

template <int L>
CALOR2D_INLINE void add_staged(Sums<L>& s) {
  double l1 = s.l1, l2 = s.l2;
  for (int i = 0; i < s.staged; ++i) {
    l1 = l1 + s.abs_r[i];
    l2 = l2 + s.sq_r[i];
  }
  s.l1 = l1;
  s.l2 = l2;
  s.staged = 0;
}

// Stages the residuals of `count` (at most staged_max) consecutive nodes of one
// row, starting at node k.
template <int L>
CALOR2D_INLINE void stage_nodes(const Plate& p, Sums<L>& s, Index k, Index count) {
  const double* T = p.T;
  const Index Nx = p.Nx;
  const double aP = p.aP, aE = p.aE, aN = p.aN;
  int m = 0;
  for (; m + L <= count; m += L) {
    Vec<L> r, ar;
    residuals<L>(T + k + m, Nx, aP, aE, aN, r);
    magnitude<L>(r, ar);
    const Vec<L> sq = r * r;
    s.vinf = ar > s.vinf ? ar : s.vinf;
    std::memcpy(s.abs_r + m, &ar, sizeof ar);
    std::memcpy(s.sq_r + m, &sq, sizeof sq);
  }
  for (; m < count; ++m) {
    const double r = residual(T, Nx, aP, aE, aN, k + m);
    const double ar = std::fabs(r);
    s.abs_r[m] = ar;
    s.sq_r[m] = r * r;
    if (ar > s.linf) s.linf = ar;
  }
  s.staged = static_cast<int>(count);
}

// Moves the cursor by up to `budget` nodes while the residuals are final. The
// strip of h rows from j0 has finished step t: row j0+q is swept through column
// t-q, and a node is final once the row above has reached its column.
template <int L>
CALOR2D_INLINE void advance_sums_inline(const Plate& p, Sums<L>& s, int j0, int h, Index t, Index budget) {
  const int n = p.Nx - 2;
  while (budget > 0 && s.row <= p.Ny - 1) {
    const int q = s.row + 1 - j0;
    Index end = 0;
    if (q < 0) {
      end = n;
    } else if (q < h) {
      end = t - q + 1;
      if (end > n) end = n;
    }
    if (s.col >= end) return;
    Index count = end - s.col;
    if (count > budget) count = budget;
    if (count > staged_max) count = staged_max;
    add_staged<L>(s);
    stage_nodes<L>(p, s, s.col + 2 + static_cast<Index>(s.row - 1) * p.Nx, count);
    s.col += static_cast<int>(count);
    budget -= count;
    if (s.col == n) {
      ++s.row;
      s.col = 0;
    }
  }
}

// The sums are called from every step of every kind of strip: kept out of line,
// once per instruction set, so that the sweep's loops stay small. The lane count
// names the instruction set: 8 for AVX-512, 4 for AVX2, 2 for the portable path.
__attribute__((noinline)) void advance_sums_2(const Plate& p, Sums<2>& s, int j0, int h, Index t, Index budget) {
  advance_sums_inline<2>(p, s, j0, h, t, budget);
}

#if defined(__x86_64__) || defined(__i386__)
#define CALOR2D_X86 1

__attribute__((target("avx2"), noinline)) void advance_sums_4(const Plate& p, Sums<4>& s, int j0, int h, Index t,
                                                              Index budget) {
  advance_sums_inline<4>(p, s, j0, h, t, budget);
}

__attribute__((target("avx512f"), noinline)) void advance_sums_8(const Plate& p, Sums<8>& s, int j0, int h, Index t,
                                                                 Index budget) {
  advance_sums_inline<8>(p, s, j0, h, t, budget);
}
#endif

template <int L>
CALOR2D_INLINE void advance_sums(const Plate& p, Sums<L>& s, int j0, int h, Index t, Index budget) {
  if constexpr (L == 2) {
    advance_sums_2(p, s, j0, h, t, budget);
#ifdef CALOR2D_X86
  } else if constexpr (L == 4) {
    advance_sums_4(p, s, j0, h, t, budget);
  } else {
    advance_sums_8(p, s, j0, h, t, budget);
#endif
  }
}

// A sweep with no norms: the strips may be held back by a gate (the bands of
// several threads), and no residual is taken.
struct Quiet {
  StripGate* gate;
};

template <int L>
CALOR2D_INLINE bool enter_strip(Sums<L>&, int, int) {
  return true;
}

template <int L>
CALOR2D_INLINE bool enter_strip(Quiet& q, int j0, int h) {
  return q.gate == nullptr || q.gate->enter(j0, h);
}

template <int L>
CALOR2D_INLINE void advance_sums(const Plate&, Quiet&, int, int, Index, Index) {}

template <int L, int V>
CALOR2D_INLINE void sweep_quiet(const Plate& p, Quiet& q) {
  if (p.Nx <= 2 || p.Ny <= 2) return;
  int j0 = 2, rows = p.Ny - 2;
  strips<L, V>(p, q, j0, rows);
}

// One wavefront step of V vectors of lanes. The north of lane r is the east of
// lane r+1 and its south the previous value of lane r-1; the top lane takes its
// north from lane 0 of `top`, the bottom lane its south from lane L-1 of `bottom`.
// prev holds each lane's previous value (its west) and receives the new one.
template <int L, int V>
CALOR2D_INLINE void wave_step(const Vec<L> (&east)[V], const Vec<L>& top, const Vec<L>& bottom, Vec<L> (&prev)[V],
                              double aP, double aE, double aN) {
  Vec<L> cur[V];
#pragma GCC unroll 32
  for (int v = 0; v < V; ++v) {
    Vec<L> north, south;
    window<L, 1>(east[v], v + 1 < V ? east[v + 1] : top, north, std::make_index_sequence<L>());
    window<L, L - 1>(v > 0 ? prev[v - 1] : bottom, prev[v], south, std::make_index_sequence<L>());
    const Vec<L> a = north + south;
    const Vec<L> b = a * aN;
    const Vec<L> c = east[v] + prev[v];
    const Vec<L> d = c * aE;
    const Vec<L> e = b + d;
    cur[v] = e / aP;
  }
  for (int v = 0; v < V; ++v) prev[v] = cur[v];
}

// Where a step leaves the norm cursor: the sums may use the field as the strip
// of h rows from j0 leaves it after step `done`. Small portions between the steps
// let the sums' chain and the sweep's overlap in the out-of-order window.
struct SumsFront {
  int j0, h;
  Index done;
};

// Step Q of a block: east[v][Q] holds the east values of vector v, lane Q of top
// and bottom the outer neighbours; the results go to out[v][Q].
template <int L, int V, int Q, class S, class Hook>
CALOR2D_INLINE void block_step(const Vec<L> (&east)[V][L], const Vec<L>& top, const Vec<L>& bottom, Vec<L> (&prev)[V],
                               Vec<L> (&out)[V][L], double aP, double aE, double aN, const Plate& p, S& s,
                               const SumsFront& front, Hook& hook) {
  Vec<L> step_east[V], step_top, step_bottom;
  for (int v = 0; v < V; ++v) step_east[v] = east[v][Q];
  broadcast<L, Q>(top, step_top, std::make_index_sequence<L>());
  broadcast<L, Q>(bottom, step_bottom, std::make_index_sequence<L>());
  wave_step<L, V>(step_east, step_top, step_bottom, prev, aP, aE, aN);
  for (int v = 0; v < V; ++v) out[v][Q] = prev[v];
  hook.template after<Q>();
  // Every other step, up to twice the nodes the sweep makes in that time, so the
  // cursor can catch up after a strip's start.
  if (Q % 2 == 1) advance_sums<L>(p, s, front.j0, front.h, front.done, 4 * L * V);
}

template <int L, int V, class S, class Hook, std::size_t... Q>
CALOR2D_INLINE void block_steps(const Vec<L> (&east)[V][L], const Vec<L>& top, const Vec<L>& bottom, Vec<L> (&prev)[V],
                                Vec<L> (&out)[V][L], double aP, double aE, double aN, const Plate& p, S& s,
                                const SumsFront& front, Hook& hook, std::index_sequence<Q...>) {
  (block_step<L, V, static_cast<int>(Q)>(east, top, bottom, prev, out, aP, aE, aN, p, s, front, hook), ...);
}

// Loads vector v's east values for the block at q and turns them into steps.
template <int L, int V>
CALOR2D_INLINE void east_of(const double* q, Index stride, int v, Vec<L> (&east)[L]) {
#pragma GCC unroll 16
  for (int l = 0; l < L; ++l) load<L>(q + (v * L + l) * stride + 1, east[l]);
  transpose<L>(east);
}

// Prepares the next block's east values between the steps of this one, spread
// over its steps: the loads and transposes then run beside the steps' chain of
// latencies instead of before it (measured: README, Performance). They read none
// of the nodes this block writes. The last block
// reads its own values again, unused: a branch around the steps measured slower.
template <int L, int V>
struct NextEast {
  const double* q;
  Index stride;
  Vec<L> (&east)[V][L];
  template <int Q>
  CALOR2D_INLINE void after() {
#pragma GCC unroll 32
    for (int v = 0; v < V; ++v)
      if (v * L / V == Q) east_of<L, V>(q, stride, v, east[v]);
  }
};

// Turns a block's results back into row segments and stores them.
template <int L, int V>
CALOR2D_INLINE void store_block(double* q, Index stride, Vec<L> (&out)[V][L]) {
#pragma GCC unroll 32
  for (int v = 0; v < V; ++v) {
    transpose<L>(out[v]);
#pragma GCC unroll 16
    for (int l = 0; l < L; ++l) std::memcpy(q + (v * L + l) * stride, &out[v][l], sizeof out[v][l]);
  }
}

// A strip of one block has no next one.
struct NoNextBlock {
  template <int Q>
  CALOR2D_INLINE void after() {}
};

// The block of steps t..t+L-1 of the full strip from j0, whose east values are
// ready: its steps, then its results back into rows.
template <int L, int V, class S, class Hook>
CALOR2D_INLINE void one_block(const Plate& p, S& s, int j0, Index t, const Vec<L> (&east)[V][L], Vec<L> (&prev)[V],
                              Hook& hook) {
  constexpr int W = L * V;
  const Index Nx = p.Nx, stride = Nx - 1;
  double* const q = p.T + static_cast<Index>(j0 - 1) * Nx + 2 + t;
  Vec<L> top, bottom, out[V][L];
  load<L>(q + (W - 1) * stride + Nx, top);
  load<L>(q - Nx, bottom);
  // Stores of this block come at its end, so its sums see the field after step t-1.
  block_steps<L, V>(east, top, bottom, prev, out, p.aP, p.aE, p.aN, p, s, SumsFront{j0, W, t - 1}, hook,
                    std::make_index_sequence<L>());
  store_block<L, V>(q, stride, out);
}

// Steps [from, to) of a strip, one node at a time. Lane r's node at step t is
// k = K0 + t + r*(Nx-1): column t-r of row j0+r.
template <int L, class S>
CALOR2D_INLINE void scalar_steps(const Plate& p, S& s, int j0, int h, Index from, Index to, Index budget) {
  const int n = p.Nx - 2;
  const Index Nx = p.Nx, stride = Nx - 1;
  const Index K0 = static_cast<Index>(j0 - 1) * Nx + 2;
  double* const T = p.T;
  const double aP = p.aP, aE = p.aE, aN = p.aN;
  for (Index t = from; t < to; ++t) {
    const Index rlo = t - n + 1 > 0 ? t - n + 1 : 0;
    const Index rhi = t < h - 1 ? t : h - 1;
    for (Index r = rlo; r <= rhi; ++r) {
      const Index k = K0 + t + r * stride;
      T[k] = neighbours(T, Nx, aE, aN, k) / aP;
    }
    advance_sums<L>(p, s, j0, h, t, budget);
  }
}

// One strip of h rows from j0. With h = L*V and a row longer than the strip,
// steps W..n-1 have every lane inside its row and run as V vectors.
template <int L, int V, class S>
CALOR2D_INLINE bool strip(const Plate& p, S& s, int j0, int h) {
  if (!enter_strip<L>(s, j0, h)) return false;
  constexpr int W = L * V;
  constexpr Index budget = W;  // nodes summed per step: the sum is the slower side
  const int n = p.Nx - 2;
  const Index last = static_cast<Index>(n) + h - 1;  // one past the last step
  if (h != W || n <= W) {
    scalar_steps<L>(p, s, j0, h, 0, last, budget);
    return true;
  }
  scalar_steps<L>(p, s, j0, h, 0, W, budget);

  const Index Nx = p.Nx, stride = Nx - 1;
  const Index K0 = static_cast<Index>(j0 - 1) * Nx + 2;
  double* const T = p.T;
  const double aP = p.aP, aE = p.aE, aN = p.aN;
  // Each lane's value from the previous step: its west, and the south of the lane above.
  Vec<L> prev[V];
  {
    double lane[W];
    for (int r = 0; r < W; ++r) lane[r] = T[K0 + (W - 1) + r * stride];
    std::memcpy(prev, lane, sizeof lane);
  }

  // Blocks of L steps: each lane's east values for the block are L consecutive
  // nodes of its row, and its results L consecutive nodes too, so they move as
  // whole vectors turned by a transpose.
  Index t = W;
  Vec<L> east[V][L];
  if (t + 2 * L > n) {
    // One block at most: nothing to prepare beside it.
    if (t + L <= n) {
#pragma GCC unroll 32
      for (int v = 0; v < V; ++v) east_of<L, V>(T + K0 + t, stride, v, east[v]);
      NoNextBlock hook;
      one_block<L, V>(p, s, j0, t, east, prev, hook);
      t += L;
    }
  } else {
#pragma GCC unroll 32
    for (int v = 0; v < V; ++v) east_of<L, V>(T + K0 + t, stride, v, east[v]);
    for (;;) {
      const bool more = t + 2 * L <= n;
      Vec<L> next[V][L];
      NextEast<L, V> hook{T + K0 + t + (more ? L : 0), stride, next};
      one_block<L, V>(p, s, j0, t, east, prev, hook);
      t += L;
      if (!more) break;
#pragma GCC unroll 32
      for (int v = 0; v < V; ++v)
#pragma GCC unroll 16
        for (int l = 0; l < L; ++l) east[v][l] = next[v][l];
    }
  }

  for (; t < n; ++t) {
    double* const q = T + K0 + t;
    double lane[W];
#pragma GCC unroll 32
    for (int r = 0; r < W; ++r) lane[r] = q[r * stride + 1];
    Vec<L> east[V];
    std::memcpy(east, lane, sizeof lane);
    double edge[2 * L] = {};
    edge[0] = q[(W - 1) * stride + Nx];
    edge[2 * L - 1] = q[-Nx];
    Vec<L> top, bottom;
    load<L>(edge, top);
    load<L>(edge + L, bottom);
    wave_step<L, V>(east, top, bottom, prev, aP, aE, aN);
    std::memcpy(lane, prev, sizeof lane);
#pragma GCC unroll 32
    for (int r = 0; r < W; ++r) q[r * stride] = lane[r];
    advance_sums<L>(p, s, j0, h, t, budget);
  }

  scalar_steps<L>(p, s, j0, h, n, last, budget);
  return true;
}

// Strips of L*V rows while they fit, then narrower ones; the last rows, fewer
// than a vector, go one node at a time. False when a gate stopped the sweep.
template <int L, int V, class S>
CALOR2D_INLINE bool strips(const Plate& p, S& s, int& j0, int& rows) {
  while (rows >= L * V) {
    if (!strip<L, V>(p, s, j0, L * V)) return false;
    j0 += L * V;
    rows -= L * V;
  }
  if constexpr (V > 1) {
    return strips<L, V - 1>(p, s, j0, rows);
  } else if (rows > 0) {
    if (!strip<L, 1>(p, s, j0, rows)) return false;
    j0 += rows;
    rows = 0;
  }
  return true;
}

template <int L, int V>
CALOR2D_INLINE void sweep_and_norms(const Plate& p, double& l1, double& l2, double& linf) {
  Sums<L> s{};
  s.row = 2;
  if (p.Nx > 2 && p.Ny > 2) {
    int j0 = 2, rows = p.Ny - 2;
    strips<L, V>(p, s, j0, rows);
    advance_sums<L>(p, s, p.Ny + 1, 0, 0, PTRDIFF_MAX);
    add_staged<L>(s);
  }
  double m = s.linf;
  double lane[L];
  std::memcpy(lane, &s.vinf, sizeof lane);
  for (int l = 0; l < L; ++l)
    if (lane[l] > m) m = lane[l];
  l1 = s.l1;
  l2 = s.l2;
  linf = static_cast<long long>(p.Nx) * p.Ny < 1 ? -DBL_MAX : m;
}

// One sweep with no norms (q) or with its own norms.
template <int L, int V>
CALOR2D_INLINE void one_sweep(const Plate& p, Quiet* q, double* norms) {
  if (q) {
    sweep_quiet<L, V>(p, *q);
  } else {
    sweep_and_norms<L, V>(p, norms[0], norms[1], norms[2]);
  }
}

void sweep_portable(const Plate& p, Quiet* q, double* norms) { one_sweep<2, 4>(p, q, norms); }
#ifdef CALOR2D_X86
__attribute__((target("avx2"))) void sweep_avx2(const Plate& p, Quiet* q, double* norms) {
  one_sweep<4, 4>(p, q, norms);
}
// Three vectors a step: a wavefront step is one chain of add, multiply, add and
// divide, and 24 independent nodes hide more of it than 16 (measured against 2
// and 4: README, Performance).
__attribute__((target("avx512f"))) void sweep_avx512(const Plate& p, Quiet* q, double* norms) {
  one_sweep<8, 3>(p, q, norms);
}
#endif

void sweep_on(Path path, const Plate& p, Quiet* q, double* norms) {
  switch (path) {
#ifdef CALOR2D_X86
    case Path::avx512: sweep_avx512(p, q, norms); return;
    case Path::avx2: sweep_avx2(p, q, norms); return;
#endif
    default: sweep_portable(p, q, norms); return;
  }
}

}  // namespace

bool supported(Path path) {
  switch (path) {
    case Path::portable: return true;
#ifdef CALOR2D_X86
    case Path::avx2: __builtin_cpu_init(); return __builtin_cpu_supports("avx2");
    case Path::avx512: __builtin_cpu_init(); return __builtin_cpu_supports("avx512f");
#else
    case Path::avx2:
    case Path::avx512: return false;
#endif
  }
  return false;
}

Path best_path() {
  if (supported(Path::avx512)) return Path::avx512;
  if (supported(Path::avx2)) return Path::avx2;
  return Path::portable;
}

const char* name(Path path) {
  switch (path) {
    case Path::portable: return "portable";
    case Path::avx2: return "avx2";
    case Path::avx512: return "avx512";
  }
  return "?";
}

void sweep(Path path, double aP, double aE, double aN, int Nx, int Ny, double* T, StripGate* gate) {
  Quiet q{gate};
  sweep_on(path, Plate{aP, aE, aN, Nx, Ny, T}, &q, nullptr);
}

void sweep_with_norms(Path path, double aP, double aE, double aN, int Nx, int Ny, double* T, double& l1, double& l2,
                      double& linf) {
  double norms[3];
  sweep_on(path, Plate{aP, aE, aN, Nx, Ny, T}, nullptr, norms);
  l1 = norms[0];
  l2 = norms[1];
  linf = norms[2];
}

}  // namespace fast

}  // namespace solvers
