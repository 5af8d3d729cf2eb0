#include "textio/ending.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "textio/unit_table.h"

namespace ortelix::textio {

using namespace detail;

void stop() {
  {
    SignalBlock block;
    close_all(/*strict=*/true);
  }
  std::exit(0);
}

void stop(std::string_view message) {
  {
    SignalBlock block;
    // Files first: the message must not announce an end that a failed flush
    // then contradicts.
    for (int i = 0; i <= kMaxUnit; ++i) {
      Unit& u = g_units[i];
      if (!u.connected || i == kStderrUnit) continue;
      if (int err = flush_and_close(u)) {
        u.connected = true;
        write_failure(i, err);
      }
    }
    put_stderr("STOP " + std::string(message) + " statement executed\n");
    close_all(/*strict=*/false);
  }
  std::exit(0);
}

void fatal(int unit, const IoError& error, std::string_view last_format, bool reading) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  // Whatever the screen had received goes out before the diagnostic.
  flush_buffer(g_units[kScreen]);
  std::string text = error.context + ": " + error.reason + "\n";
  text += unit_state(unit) + "\n";
  text += "last format: " + std::string(last_format) + "\n";
  text += std::string("lately ") + (reading ? "reading" : "writing") + " sequential formatted external IO\n";
  put_stderr(text);
  close_all(/*strict=*/false);
  std::signal(SIGABRT, SIG_DFL);
  std::abort();
}

}  // namespace ortelix::textio
