// Two threads at most: the caller and one worker, for jobs split in two
// fixed parts. Shared by the eigen kernels and the large-site-set program.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace ortelix::pcnm {

// The calling thread and at most one worker. A job is split in two fixed
// halves decided by the caller, never by timing, so the results cannot
// depend on the scheduling. The worker never writes output and never sees
// a signal sent to the process: the handlers rely on the main thread
// receiving them.
class Team {
 public:
  explicit Team(int threads);
  ~Team();
  Team(const Team&) = delete;
  Team& operator=(const Team&) = delete;

  bool parallel() const { return worker_.joinable(); }

  // job(part) for part 0 here and part 1 on the worker (or both here). An
  // exception from either part (memory running out, a cancelled run) comes
  // out of run once both parts have ended, so that nothing the job refers
  // to is left in use by the other thread.
  template <typename Job>
  void run(bool split, const Job& job) {
    if (!split || !parallel()) {
      job(0);
      job(1);
      return;
    }
    context_ = &job;
    call_ = [](const void* context, int part) { (*static_cast<const Job*>(context))(part); };
    const unsigned generation = start_.load(std::memory_order_relaxed) + 1;
    signal(start_, generation);
    std::exception_ptr here;
    try {
      job(0);
    } catch (...) {
      here = std::current_exception();
    }
    unsigned done = done_.load(std::memory_order_acquire);
    while (done != generation) done = await_change(done_, done);
    std::exception_ptr there = std::exchange(worker_failure_, nullptr);
    if (here) std::rethrow_exception(here);
    if (there) std::rethrow_exception(there);
  }

 private:
  void serve();
  void signal(std::atomic<unsigned>& flag, unsigned value);

  // Waits until `flag` differs from `old`: a short spin, then sleep.
  unsigned await_change(const std::atomic<unsigned>& flag, unsigned old);

  std::thread worker_;
  std::atomic<unsigned> start_{0};
  std::atomic<unsigned> done_{0};
  std::exception_ptr worker_failure_;  // written before done_, read after
  std::mutex mutex_;
  std::condition_variable wake_;
  const void* context_ = nullptr;
  void (*call_)(const void*, int) = nullptr;
  bool quit_ = false;
};

// Processors this process may run on: the affinity mask where there is
// one (a process pinned to one processor must not spin waiting for a
// second thread that cannot run).
unsigned usable_processors();

}  // namespace ortelix::pcnm
