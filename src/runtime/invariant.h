// CALOR2D_ASSERT: an internal invariant. It holds in every build; when it does
// not, the program is wrong, so it names the place and aborts rather than write
// a report from broken state. Not for anything a case file or the system can cause.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace rt {

[[noreturn]] inline void invariant_failed(const char* what, const char* file, int line) noexcept {
  std::fprintf(stderr, "calor2d: internal error at %s:%d: %s\n", file, line, what);
  std::fflush(stderr);
  std::abort();
}

}  // namespace rt

#define CALOR2D_ASSERT(cond) ((cond) ? static_cast<void>(0) : ::rt::invariant_failed(#cond, __FILE__, __LINE__))
