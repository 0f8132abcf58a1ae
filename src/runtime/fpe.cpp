#include "runtime/fpe.h"

#include "runtime/platform/platform.h"

namespace rt {

void enable_fp_traps() { plat::enable_fp_traps(); }

}  // namespace rt
