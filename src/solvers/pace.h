// Whether the next run of sweeps goes on every band or on one thread, from how
// fast each way has lately been. Bands are faster only while every thread has a
// processor to itself; on a machine busy with other work one thread held up
// holds up all, and a solve is better off alone. So each way's time per sweep is
// measured on the runs that use it, the faster way is taken, and every few runs
// the other way is tried once again, as the load may have changed.
#pragma once

namespace solvers {

class Pace {
 public:
  class Clock {
   public:
    virtual double seconds() const = 0;  // from any fixed start

   protected:
    ~Clock() = default;
  };

  explicit Pace(const Clock& clock, int probe_every = 8) : clock_(clock), probe_every_(probe_every) {}

  bool threads_next() const;
  // Around each run of sweeps.
  void start();
  void finish(bool threads, int sweeps);

 private:
  const Clock& clock_;
  const int probe_every_;
  double per_sweep_[2] = {-1.0, -1.0};  // one thread, bands; -1 unmeasured
  int runs_ = 0;                        // runs in the faster way since the last try of the other
  double started_ = 0.0;
};

// The process's steady clock.
class SteadyClock final : public Pace::Clock {
 public:
  double seconds() const override;
};

}  // namespace solvers
