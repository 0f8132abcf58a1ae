#include "solvers/pace.h"

#include <chrono>

namespace solvers {

bool Pace::threads_next() const {
  if (per_sweep_[1] < 0) return true;
  if (per_sweep_[0] < 0) return false;
  const bool faster = per_sweep_[1] <= per_sweep_[0];
  return runs_ >= probe_every_ ? !faster : faster;
}

void Pace::start() { started_ = clock_.seconds(); }

void Pace::finish(bool threads, int sweeps) {
  if (sweeps < 1) return;
  const bool probe = per_sweep_[0] >= 0 && per_sweep_[1] >= 0 && runs_ >= probe_every_;
  per_sweep_[threads ? 1 : 0] = (clock_.seconds() - started_) / sweeps;
  runs_ = probe ? 0 : runs_ + 1;
}

double SteadyClock::seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace solvers
