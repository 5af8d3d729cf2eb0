#include "pcnm/team.h"

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <csignal>
#include <system_error>

namespace ortelix::pcnm {

// The worker never writes output and never sees a signal sent to the
// process: the handlers (the text layer's, the tools' removal of their
// temporary files) rely on the main thread receiving them.
Team::Team(int threads) {
  if (threads < 2) return;
  sigset_t blocked, previous;
  sigemptyset(&blocked);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU}) {
    sigaddset(&blocked, sig);
  }
  pthread_sigmask(SIG_BLOCK, &blocked, &previous);
  try {
    worker_ = std::thread([this] { serve(); });
  } catch (const std::system_error&) {
    // No second thread to be had (a process limit): the same work, and
    // the same results, on this one.
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

Team::~Team() {
  if (!worker_.joinable()) return;
  quit_ = true;
  signal(start_, start_.load(std::memory_order_relaxed) + 1);
  worker_.join();
}

void Team::serve() {
  // Generation 0 is the one before any job: the first job may be handed
  // over before this thread gets to run.
  unsigned seen = 0;
  for (;;) {
    seen = await_change(start_, seen);
    if (quit_) return;
    try {
      call_(context_, 1);
    } catch (...) {
      worker_failure_ = std::current_exception();
    }
    signal(done_, seen);
  }
}

void Team::signal(std::atomic<unsigned>& flag, unsigned value) {
  flag.store(value, std::memory_order_release);
  { std::lock_guard<std::mutex> lock(mutex_); }  // a waiter is either asleep or will see the value
  wake_.notify_all();
}

// Waits until `flag` differs from `old`: a spin of 50 microseconds, about
// the serial work between two hand-overs, then sleep. Longer spins save a
// little on an idle machine and lose much when the other thread has been
// preempted. The spin has no pause instruction: under a hypervisor a run
// of pauses can hand the processor to another guest for longer than the
// wait itself.
unsigned Team::await_change(const std::atomic<unsigned>& flag, unsigned old) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
  for (;;) {
    for (int i = 0; i < 256; ++i) {
      unsigned now = flag.load(std::memory_order_acquire);
      if (now != old) return now;
    }
    if (std::chrono::steady_clock::now() > give_up) break;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait(lock, [&] { return flag.load(std::memory_order_acquire) != old; });
  return flag.load(std::memory_order_acquire);
}

unsigned usable_processors() {
#ifdef __linux__
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
#endif
  return std::thread::hardware_concurrency();
}

}  // namespace ortelix::pcnm
