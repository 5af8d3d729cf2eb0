#include "textio/signals.h"

#include <unistd.h>

#include <csignal>
#include <cstring>

#include "textio/unit_table.h"

namespace ortelix::textio {
namespace {

using namespace detail;

// Only async-signal-safe calls: write(2), close(2), _exit.
extern "C" void on_signal(int sig) {
  const char* msg = sig == SIGINT ? "Interrupt\n" : "Killed\n";
  write_all(STDERR_FILENO, msg, std::strlen(msg));
  for (Unit& u : g_units) {
    if (!u.connected) continue;
    if (u.output && u.len > 0) write_all(u.fd, u.buf, u.len);
    if (u.fd > 2) ::close(u.fd);
  }
  _exit(1);
}

}  // namespace

void install_run_signals() {
  struct sigaction sa {};
  sa.sa_handler = on_signal;
  sigemptyset(&sa.sa_mask);
  sigaddset(&sa.sa_mask, SIGINT);
  sigaddset(&sa.sa_mask, SIGTERM);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  // A file-size limit must show as a failed write, not kill the process.
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace ortelix::textio
