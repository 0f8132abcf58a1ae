#include "runtime/memory.h"

#include <cmath>
#include <limits>

#include "runtime/errors.h"
#include "runtime/platform/platform.h"

namespace rt {

namespace {
std::uint64_t injected_limit = 0;
}  // namespace

void set_memory_limit(std::uint64_t bytes) { injected_limit = bytes; }

void require_memory(std::uint64_t bytes) {
  const std::uint64_t limit = injected_limit != 0 ? injected_limit : plat::memory_limit();
  if (limit != 0 && bytes > limit) general_error(Erro::no_memory);
}

ZeroedArray::~ZeroedArray() { clear(); }

void ZeroedArray::assign(std::size_t n, double value) {
  clear();
  if (n == 0) return;
  if (n > std::numeric_limits<std::size_t>::max() / sizeof(double)) general_error(Erro::no_memory);
  void* p = plat::zeroed_pages(n * sizeof(double));
  if (p == nullptr) general_error(Erro::no_memory);
  data_ = static_cast<double*>(p);
  size_ = n;
  if (value != 0.0 || std::signbit(value))
    for (std::size_t k = 0; k < n; ++k) data_[k] = value;
}

void ZeroedArray::clear() {
  if (data_ != nullptr) plat::release_pages(data_, size_ * sizeof(double));
  data_ = nullptr;
  size_ = 0;
}

}  // namespace rt
