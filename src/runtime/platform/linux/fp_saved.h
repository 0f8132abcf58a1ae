// The floating-point state the seam keeps here: the C library's own environment,
// for FpMasked and for the modes handed to another thread.
#pragma once

#include <fenv.h>

namespace rt::plat {

using FpSaved = fenv_t;
using FpModes = fenv_t;

}  // namespace rt::plat
