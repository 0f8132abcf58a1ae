// The floating-point environment FpMasked keeps here: the C library's own.
#pragma once

#include <fenv.h>

namespace rt::plat {

using FpSaved = fenv_t;

}  // namespace rt::plat
