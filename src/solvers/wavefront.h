// The fast sweep: the reference's operations on the same operands as a skewed
// wavefront of vector lanes, on a code path of the processor's choice (tests and
// benchmarks run each one).
#pragma once

namespace solvers::fast {

enum class Path {
  portable,  // 2-wide vectors: any target the compiler supports
  avx2,      // 4-wide, x86-64 with AVX2
  avx512,    // 8-wide, x86-64 with AVX-512F
};

bool supported(Path path);
Path best_path();
const char* name(Path path);

// Asked before a sweep writes each strip of rows j0 .. j0+h-1 (1-based rows of
// the plate swept): it may wait; false stops the sweep, which writes nothing more.
class StripGate {
 public:
  virtual bool enter(int j0, int h) = 0;

 protected:
  ~StripGate() = default;
};

// One sweep on the given path, which must be supported (a grid without interior
// nodes is left alone). A band of rows is swept as a plate of its own: T moved
// down to the row below the band, Ny the band's rows plus its two neighbours.
void sweep(Path path, double aP, double aE, double aN, int Nx, int Ny, double* T, StripGate* gate = nullptr);

// One sweep and the three norms of the field it leaves, in the reference's
// order: the norms the report prints.
void sweep_with_norms(Path path, double aP, double aE, double aN, int Nx, int Ny, double* T, double& l1, double& l2,
                      double& linf);

}  // namespace solvers::fast
