#pragma once
// The report's 16 digits assume every operation rounds to double. Checked where
// the numerics are compiled, so a consumer built with other flags stops here.
#include <cfloat>

static_assert(FLT_EVAL_METHOD == 0, "floating-point expressions must be evaluated in their own type");
#if defined(__i386__) && !defined(__SSE2_MATH__)
#error "32-bit x86: build with -msse2 -mfpmath=sse; the x87 unit keeps 64-bit mantissas"
#endif
#if defined(__FAST_MATH__)
#error "fast-math changes the report's digits"
#endif
