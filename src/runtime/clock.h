// Elapsed-time stopwatch.
#pragma once

namespace rt {

// First call in the process: fixes the zero point and returns exactly 0.0.
// Later calls: seconds since that first call, at millisecond resolution, computed
// from the 100-ns tick counts in 32-bit halves. The clock is monotonic, so the
// result never decreases.
double timef();

// The halves arithmetic on two tick counts (exposed for tests).
double elapsed_seconds(unsigned long long t0, unsigned long long t);

}  // namespace rt
