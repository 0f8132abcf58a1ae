// The floating-point environment FpMasked keeps here: the CRT's control word,
// which sets the masks of the SSE and the x87 unit together.
#pragma once

namespace rt::plat {

struct FpSaved {
  unsigned int control = 0;
};

}  // namespace rt::plat
