// Two threads at most: the caller and one worker, for jobs split in two
// fixed parts. Shared by the eigen kernels and the large-site-set program.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ortelix::pcnm {

// The calling thread and at most one worker. A job is split in two fixed
// halves decided by the caller, never by timing, so the results cannot
// depend on the scheduling. The worker never writes output and never sees
// SIGINT or SIGTERM: the text layer's handler relies on the main thread
// receiving them.
class Team {
 public:
  explicit Team(int threads);
  ~Team();
  Team(const Team&) = delete;
  Team& operator=(const Team&) = delete;

  bool parallel() const { return worker_.joinable(); }

  // job(part) for part 0 here and part 1 on the worker (or both here).
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
    job(0);
    unsigned done = done_.load(std::memory_order_acquire);
    while (done != generation) done = await_change(done_, done);
  }

 private:
  void serve();
  void signal(std::atomic<unsigned>& flag, unsigned value);

  // Waits until `flag` differs from `old`: a short spin, then sleep.
  unsigned await_change(const std::atomic<unsigned>& flag, unsigned old);

  std::thread worker_;
  std::atomic<unsigned> start_{0};
  std::atomic<unsigned> done_{0};
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
