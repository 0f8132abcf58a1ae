#include "listagem.h"

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "leiaute.h"
#include "runtime/invariant.h"
#include "runtime/number_edit.h"
#include "runtime/run.h"
#include "runtime/fpe.h"
#include "runtime/units.h"
#include "variaveis.h"

namespace listagem {

using namespace variaveis;

namespace {

constexpr std::int64_t record_size = leiaute::largura_solucao + 2;
constexpr std::int64_t chunk_records = 512;  // about 64 kB
constexpr std::int64_t ring = 8;
// Below this many records a helper is not worth its start.
constexpr std::int64_t large = 4 * chunk_records;

Helper helper = Helper::automatic;

// Whether every Ta - T of the listing is computed without raising one of the
// trapped exceptions: the helper must never meet a trap.
bool differences_quiet(std::int64_t n) {
  rt::FpMasked masked;
  for (std::int64_t k = 1; k <= n; ++k) {
    volatile double d = Ta[k] - T[k];  // computed before the flags are read
    (void)d;
  }
  return (masked.raised() & (FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW)) == 0;
}

void edit_record(char* out, std::int64_t t) {
  const std::int64_t j = t / Nx + 1, i = t % Nx + 1;
  const std::int64_t n = i + (j - 1) * Nx;
  constexpr int w = leiaute::largura_e, d = leiaute::digitos_e, k = leiaute::escala_e;
  static_assert(leiaute::reais_solucao == 5);
  rt::edit_e(out, w, d, k, x[i]);
  rt::edit_e(out + w, w, d, k, y[j]);
  rt::edit_e(out + 2 * w, w, d, k, T[n]);
  rt::edit_e(out + 3 * w, w, d, k, Ta[n]);
  rt::edit_e(out + 4 * w, w, d, k, Ta[n] - T[n]);
  out[leiaute::largura_solucao] = '\r';
  out[leiaute::largura_solucao + 1] = '\n';
}

struct Slot {
  std::atomic<std::int64_t> ready{-1};  // the chunk the slot holds, once edited
  char* text = nullptr;
  std::int64_t len = 0;
};

class Listing {
 public:
  Listing(std::int64_t records, char* area)
      : records_(records), chunks_((records + chunk_records - 1) / chunk_records) {
    for (std::int64_t s = 0; s < ring; ++s) slots_[s].text = area + s * chunk_records * record_size;
  }

  // Stops and joins the helper, also when an error hook unwinds the main thread.
  ~Listing() {
    written_.store(chunks_ + ring);
    wake();
    if (thread_.joinable()) thread_.join();
  }
  Listing(const Listing&) = delete;
  Listing& operator=(const Listing&) = delete;

  void start_helper() {
    try {
      thread_ = std::thread([this] { help(); });
    } catch (const std::system_error&) {
      // No thread to be had: the main thread edits every chunk itself.
    }
  }

  void write(rt::unit_record& u) {
    for (std::int64_t w = 0; w < chunks_; ++w) {
      Slot& s = slots_[w % ring];
      for (std::int64_t seen; (seen = s.ready.load(std::memory_order_acquire)) != w;) {
        std::int64_t c;
        if (claim(w + ring, c)) {
          edit(c);
        } else {
          wait_until([&] { return s.ready.load(std::memory_order_acquire) != seen; });
        }
      }
      rt::put_bytes(u, s.text, static_cast<std::size_t>(s.len));
      written_.store(w + 1, std::memory_order_release);
      wake();
    }
  }

 private:
  // Waiting is on a condition variable of our own, not on the atomics: with
  // MinGW's libstdc++ 12 (no futex; atomic wait is emulated) a helped listing
  // under Wine was left waiting for a chunk already edited, its helper gone.
  // Taking the mutex between a store and the notification orders the store
  // before any waiter's test, so no wake-up is lost.
  void wake() {
    { std::lock_guard<std::mutex> lock(mutex_); }
    changed_.notify_all();
  }
  template <class Done>
  void wait_until(Done done) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, done);
  }

  // The next chunk to edit, if it is below `limit` (its slot is free).
  bool claim(std::int64_t limit, std::int64_t& c) {
    c = next_.load();
    while (c < std::min(limit, chunks_)) {
      if (next_.compare_exchange_weak(c, c + 1)) return true;
    }
    return false;
  }

  void edit(std::int64_t c) {
    Slot& s = slots_[c % ring];
    const std::int64_t first = c * chunk_records, last = std::min(records_, first + chunk_records);
    for (std::int64_t t = first; t < last; ++t) edit_record(s.text + (t - first) * record_size, t);
    s.len = (last - first) * record_size;
    s.ready.store(c, std::memory_order_release);
    wake();
  }

  void help() {
    for (;;) {
      const std::int64_t c = next_.fetch_add(1);
      if (c >= chunks_) return;
      // Its slot is free once the chunk a ring before it has gone out.
      for (std::int64_t wr; (wr = written_.load(std::memory_order_acquire)) + ring <= c;) {
        wait_until([&] { return written_.load(std::memory_order_acquire) != wr; });
      }
      if (written_.load() > chunks_) return;  // stopped
      edit(c);
    }
  }

  const std::int64_t records_, chunks_;
  Slot slots_[ring];
  std::atomic<std::int64_t> next_{0};     // the next chunk nobody has claimed
  std::atomic<std::int64_t> written_{0};  // chunks handed to the unit
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
};

}  // namespace

void set_helper(Helper h) { helper = h; }

bool write_all_nodes() {
  const std::int64_t records = static_cast<std::int64_t>(Nx) * Ny;
  if (helper == Helper::never || records < 1) return false;
  if (helper == Helper::automatic && (records < large || rt::usable_processors() < 2)) return false;
  rt::unit_record* u = rt::find_unit(1);
  CALOR2D_ASSERT(u != nullptr);  // the report's unit, open while it is written
  if (!u->write_mode || !differences_quiet(records)) return false;
  // Without memory for the ring the statements do the work, as they always could.
  // The ring outlives the listing, whose end joins the helper.
  const std::unique_ptr<char, void (*)(void*)> area(
      static_cast<char*>(std::malloc(static_cast<std::size_t>(ring * chunk_records * record_size))), std::free);
  if (area == nullptr) return false;
  Listing listing(records, area.get());
  listing.start_helper();
  listing.write(*u);
  return true;
}

}  // namespace listagem
