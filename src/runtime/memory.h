// Memory for the run's arrays: a check before arrays that will be touched are
// allocated, and arrays of zeros that cost nothing until they are used.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rt {

// Ends the run with the allocation error (F6700) when `bytes` of arrays that the
// run will touch cannot fit in the memory the process can have: the physical
// memory, or a control-group limit where a smaller one applies. Asking for more
// would only get the process killed by the system, with no word, part-way
// through filling them.
void require_memory(std::uint64_t bytes);

// For tests: take `bytes` as the memory the process can have; 0 asks the system
// again.
void set_memory_limit(std::uint64_t bytes);

// An array of doubles that reads as zeros and takes memory only where it is
// written, so a history sized for a huge iteration limit costs what the run
// uses of it. A failed allocation ends the run with F6700.
class ZeroedArray {
 public:
  ZeroedArray() = default;
  ~ZeroedArray();
  ZeroedArray(const ZeroedArray&) = delete;
  ZeroedArray& operator=(const ZeroedArray&) = delete;

  // `n` elements, all `value` (zeros are not written at all).
  void assign(std::size_t n, double value = 0.0);
  void clear();

  double& operator[](std::size_t k) { return data_[k]; }
  const double& operator[](std::size_t k) const { return data_[k]; }
  double* data() { return data_; }
  const double* data() const { return data_; }
  std::size_t size() const { return size_; }
  const double* begin() const { return data_; }
  const double* end() const { return data_ + size_; }

 private:
  double* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace rt
