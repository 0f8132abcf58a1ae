// The floating-point state the seam keeps here. FpMasked keeps the CRT's control
// word, which sets the masks of the SSE and the x87 unit together; the modes
// handed to another thread are the SSE unit's control and status register.
#pragma once

namespace rt::plat {

struct FpSaved {
  unsigned int control = 0;
};

struct FpModes {
  unsigned int mxcsr = 0;
};

}  // namespace rt::plat
