// Why the bands give the one-thread bits: every node is updated with the same
// operands as in the row-by-row sweep.
//  - Band b sweeps its rows lo..hi as a plate of its own, whose bottom and top
//    edges are row lo-1 (band b-1's top) and row hi+1 (band b+1's bottom).
//  - It starts sweep k once band b-1 has finished sweep k: row lo-1 is new, as
//    the south of a node must be.
//  - Before it writes rows hi-1 and hi in sweep k it waits until band b+1 has
//    finished the first strip of sweep k-1: row hi+1 then holds sweep k-1's
//    values (band b+1 cannot start sweep k before band b has finished it), and
//    band b+1 has read rows hi-1 and hi for sweep k-1 (its first strip reads
//    row hi, and it copies both at the start of its sweep, see below).
// The sums of |r| after sweep k need a row's neighbours after sweep k too. Band
// b takes rows lo .. hi-1 after its own sweep k (rows lo .. hi for the top
// band), reading row lo-1 from the copy it made of rows lo-2 and lo-1 when it
// started sweep k (band b-1 may be writing them for sweep k+1 by then), and
// takes row lo-1 itself from that copy and its own row lo. Every interior row is
// summed by exactly one band, with the reference's residual.
#include "solvers/threads.h"

#include <cstddef>
#include <cstring>
#include <system_error>

#if defined(__x86_64__) || defined(__i386__)
#define CALOR2D_X86 1
#endif

#include "runtime/fpe.h"
#include "runtime/run.h"
#include "solvers/stopping_test.h"

namespace solvers::threads {

namespace {

using Index = std::ptrdiff_t;

void relax() {
#ifdef CALOR2D_X86
  __builtin_ia32_pause();
#endif
}

// Spins a short while (a band's sweep takes microseconds), then gives the
// processor away: at once when there are more threads than processors, since
// the thread waited for may be the one kept off.
template <class Ready>
void wait_for(Ready ready, long spin_limit) {
  for (long spins = 0; !ready(); ++spins) {
    if (spins < spin_limit) {
      relax();
    } else {
      std::this_thread::yield();
    }
  }
}

}  // namespace

struct Crew::Band {
  int lo = 0, hi = 0;  // rows
  long spin_limit = 0;
  alignas(64) std::atomic<int> done{0};   // sweeps finished
  alignas(64) std::atomic<int> first{0};  // sweeps whose first strip is finished
  std::vector<double> saved;              // rows lo-2 and lo-1 as sweep k found them
  double sums[longest_run] = {};
};

namespace {

// Holds back the strips of band `me` that write rows hi-1 and hi in sweep k
// until band `above` has finished the first strip of sweep k-1, and tells the
// band below when this band's first strip of sweep k is finished.
class BandGate final : public fast::StripGate {
 public:
  BandGate(Crew::Band& me, Crew::Band* above, int k) : me_(me), above_(above), k_(k) {}

  bool enter(int j0, int h) override {
    if (++entered_ == 2) publish();
    const int last_row = j0 + (me_.lo - 2) + h - 1;
    if (above_ != nullptr && last_row >= me_.hi - 1) {
      const int want = k_ - 1;
      Crew::Band& a = *above_;
      wait_for([&a, want] { return a.first.load(std::memory_order_acquire) >= want; }, me_.spin_limit);
    }
    return true;
  }

  void publish() {
    if (!published_) me_.first.store(k_, std::memory_order_release);
    published_ = true;
  }

 private:
  Crew::Band& me_;
  Crew::Band* const above_;
  const int k_;
  int entered_ = 0;
  bool published_ = false;
};

}  // namespace

Crew::Crew(fast::Path path, double aP, double aE, double aN, int Nx, int Ny, double* T, int threads)
    : path_(path), aP_(aP), aE_(aE), aN_(aN), Nx_(Nx), Ny_(Ny), T_(T) {
  const int rows = Ny > 2 ? Ny - 2 : 0;
  int P = threads < rows / 2 ? threads : rows / 2;
  if (P < 1) P = 1;
  const long spin_limit = P <= rt::usable_processors() ? 4000 : 20;
  for (int b = 0; b < P; ++b) {
    auto band = std::make_unique<Band>();
    band->lo = 2 + static_cast<int>(static_cast<long long>(rows) * b / P);
    band->hi = 1 + static_cast<int>(static_cast<long long>(rows) * (b + 1) / P);
    band->spin_limit = spin_limit;
    band->saved.assign(2 * static_cast<std::size_t>(Nx), 0.0);
    bands_.push_back(std::move(band));
  }
  try {
    // The other threads compute in the caller's rounding mode, which a new thread
    // does not inherit on Windows. No trap can fire in a run (see Crew::run), so
    // the masks that come with it do not matter.
    const rt::FpModes modes = rt::fp_modes();
    for (int b = 1; b < P; ++b) {
      threads_.emplace_back([this, b, modes] {
        rt::set_fp_modes(modes);
        worker_main(b);
      });
    }
  } catch (const std::system_error&) {
    // No more threads: one band on this thread.
    quit_.store(true, std::memory_order_release);
    next_generation();
    for (std::thread& t : threads_) t.join();
    threads_.clear();
    quit_.store(false, std::memory_order_relaxed);
    bands_.resize(1);
    bands_[0]->hi = Ny - 1;
  }
}

Crew::~Crew() {
  quit_.store(true, std::memory_order_release);
  next_generation();
  for (std::thread& t : threads_) t.join();
}

void Crew::next_generation() {
  {
    const std::lock_guard<std::mutex> lock(idle_mutex_);
    generation_.fetch_add(1, std::memory_order_release);
  }
  idle_.notify_all();
}

void Crew::worker_main(int b) {
  int seen = 0;
  for (;;) {
    // Between runs the solve may go on alone for a long while: the thread sleeps.
    for (long spins = 0; generation_.load(std::memory_order_acquire) == seen; ++spins) {
      if (spins < bands_[b]->spin_limit) {
        relax();
      } else {
        std::unique_lock<std::mutex> lock(idle_mutex_);
        idle_.wait(lock, [this, seen] { return generation_.load(std::memory_order_acquire) != seen; });
      }
    }
    if (quit_.load(std::memory_order_acquire)) return;
    seen = generation_.load(std::memory_order_acquire);
    work(b);
    finished_.fetch_add(1, std::memory_order_acq_rel);
  }
}

void Crew::work(int b) {
  for (int k = done_ + 1; k <= done_ + count_; ++k) sweep_band(b, k);
}

void Crew::sweep_band(int b, int k) {
  Band& me = *bands_[b];
  const int last = bands() - 1;
  const Index Nx = Nx_;
  const auto row = [this, Nx](int j) { return T_ + 2 + static_cast<Index>(j - 1) * Nx; };
  if (b > 0) {
    Band& below = *bands_[b - 1];
    wait_for([&below, k] { return below.done.load(std::memory_order_acquire) >= k; }, me.spin_limit);
    std::memcpy(me.saved.data(), row(me.lo - 2) - 1, 2 * sizeof(double) * Nx_);
  }
  BandGate gate(me, b < last ? bands_[b + 1].get() : nullptr, k);
  fast::sweep(path_, aP_, aE_, aN_, Nx_, me.hi - me.lo + 3, T_ + static_cast<Index>(me.lo - 2) * Nx, &gate);
  gate.publish();

  const int top = b == last ? me.hi : me.hi - 1;
  double s = 0.0;
  if (b == 0) {
    s = abs_residual_sum(path_, aP_, aE_, aN_, Nx_, row(me.lo - 1), row(me.lo), row(me.lo + 1), top - me.lo + 1);
  } else {
    const double* const lo2 = me.saved.data() + 1;
    const double* const lo1 = lo2 + Nx;
    s = abs_residual_sum(path_, aP_, aE_, aN_, Nx_, lo2, lo1, row(me.lo), 1);
    s = s + abs_residual_sum(path_, aP_, aE_, aN_, Nx_, lo1, row(me.lo), row(me.lo + 1), 1);
    if (top > me.lo)
      s = s + abs_residual_sum(path_, aP_, aE_, aN_, Nx_, row(me.lo), row(me.lo + 1), row(me.lo + 2), top - me.lo);
  }
  me.sums[k - done_ - 1] = s;
  me.done.store(k, std::memory_order_release);
}

void Crew::run(int done, int count, double* sums) {
  done_ = done;
  count_ = count;
  for (auto& band : bands_) {
    band->done.store(done, std::memory_order_relaxed);
    band->first.store(done, std::memory_order_relaxed);
  }
  finished_.store(0, std::memory_order_relaxed);
  next_generation();
  work(0);
  const int helpers = bands() - 1;
  wait_for([this, helpers] { return finished_.load(std::memory_order_acquire) == helpers; }, bands_[0]->spin_limit);
  for (int i = 0; i < count; ++i) {
    double s = 0.0;
    for (auto& band : bands_) s = s + band->sums[i];
    sums[i] = s;
  }
}

}  // namespace solvers::threads
