// The unit table itself, shared by the files of the text layer that open,
// write, end and interrupt a run. Not for use outside the text layer.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "textio/char_stream.h"
#include "textio/units.h"

namespace ortelix::textio::detail {


// Output is collected per unit and written with write(2): the interrupt
// handler must be able to write out every complete record with
// async-signal-safe calls only. All changes to the table happen with the
// interrupt and termination signals blocked, so the handler never meets a
// half-appended record or a buffer being moved.
constexpr std::size_t kBufferSize = 1 << 18;

struct Unit {
  bool connected = false;
  bool output = false;
  bool named = false;
  bool flush_each_record = false;
  int fd = -1;
  std::string name;
  char* buf = nullptr;  // kBufferSize bytes, output units only
  std::size_t len = 0;
  std::string last_format;
  std::unique_ptr<CharStream> input;
};

extern Unit g_units[kMaxUnit + 1];
class SignalBlock {
 public:
  SignalBlock() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalBlock() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  SignalBlock(const SignalBlock&) = delete;
  SignalBlock& operator=(const SignalBlock&) = delete;

 private:
  sigset_t old_;
};

// write(2) until done; false with errno set on failure.
bool write_all(int fd, const char* data, std::size_t len);
void put_stderr(std::string_view s);
// "apparent state: unit 7 named rep.txt", for the diagnostics.
std::string unit_state(int unit);
// Returns the errno of a failed write, 0 on success.
int flush_buffer(Unit& u);
// Flushes and closes; returns the errno of the first failure, 0 if none.
int flush_and_close(Unit& u);
// Flushes and closes every unit; with `strict`, the first failure of a
// file unit ends the run with the write diagnostic.
void close_all(bool strict);
// The write diagnostic of `unit`, with the system's reason.
[[noreturn]] void write_failure(int unit, int err);

}  // namespace ortelix::textio::detail
