// Interruptions on POSIX: SIGTERM, SIGINT and SIGHUP, handled on the main thread.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "runtime/invariant.h"
#include "runtime/platform/platform.h"

namespace rt::plat {

namespace {

InterruptHandler handler = nullptr;
pthread_t handling_thread;
volatile sig_atomic_t caught = 0;

constexpr struct {
  int sig;
  const char* name;
} interruptions[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};

// The handler is installed for these signals alone, so another one here is a
// fault of this file, not of the run.
const char* name_of(int sig) {
  for (const auto& i : interruptions)
    if (i.sig == sig) return i.name;
  CALOR2D_ASSERT(false && "handler installed only for the interruptions");
  return nullptr;
}

void on_signal(int sig) {
  // The units are written by the thread that runs the program; a signal that
  // lands on a solver thread goes there, so the handler never reads a buffer
  // that another thread is filling.
  if (!pthread_equal(pthread_self(), handling_thread)) {
    pthread_kill(handling_thread, sig);
    return;
  }
  caught = sig;
  handler(name_of(sig));
}

}  // namespace

void catch_interruptions(InterruptHandler h) {
  handler = h;
  handling_thread = pthread_self();
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = on_signal;
  // On the stack kept for trapped faults; one interruption at a time.
  sa.sa_flags = SA_ONSTACK;
  sigemptyset(&sa.sa_mask);
  for (const auto& i : interruptions) sigaddset(&sa.sa_mask, i.sig);
  for (const auto& i : interruptions) {
    const int sig = i.sig;
    struct sigaction before;
    // Ignored by whoever started the run (nohup, a background job): stays so.
    if (::sigaction(sig, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    ::sigaction(sig, &sa, nullptr);
  }
}

void end_interrupted() {
  const int sig = caught != 0 ? caught : SIGTERM;
  struct sigaction dfl;
  std::memset(&dfl, 0, sizeof dfl);
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(sig, &dfl, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(sig);
  ::_exit(1);
}

}  // namespace rt::plat
