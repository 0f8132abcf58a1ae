// Vector lane types shared by the fast solver's sweep and the two-thread sums.
#pragma once

#include <cstdint>

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

}  // namespace solvers::lanes
