#include "textio/unit_table.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "textio/ending.h"

namespace ortelix::textio::detail {

Unit g_units[kMaxUnit + 1];

bool write_all(int fd, const char* data, std::size_t len) {
  while (len > 0) {
    ssize_t put = ::write(fd, data, len);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += put;
    len -= static_cast<std::size_t>(put);
  }
  return true;
}

void put_stderr(std::string_view s) { write_all(STDERR_FILENO, s.data(), s.size()); }

std::string unit_state(int unit) {
  const Unit& u = g_units[unit];
  std::string s = "apparent state: unit " + std::to_string(unit) + " ";
  if (u.named) {
    s += "named " + u.name;
  } else {
    s += "(unnamed)";
  }
  return s;
}

void write_failure(int unit, int err) {
  fatal(unit, IoError{"write", std::strerror(err)}, g_units[unit].last_format, /*reading=*/false);
}

int flush_buffer(Unit& u) {
  if (u.len == 0) return 0;
  if (!write_all(u.fd, u.buf, u.len)) return errno;
  u.len = 0;
  return 0;
}

int flush_and_close(Unit& u) {
  int err = 0;
  if (u.output) err = flush_buffer(u);
  if (u.fd > 2) {
    if (::close(u.fd) != 0 && err == 0 && u.output) err = errno;
  }
  u.connected = false;
  u.fd = -1;
  delete[] u.buf;
  u.buf = nullptr;
  u.len = 0;
  u.input.reset();
  return err;
}

// Flushes and closes every unit; with `strict`, the first failure of a

void close_all(bool strict) {
  for (int i = 0; i <= kMaxUnit; ++i) {
    Unit& u = g_units[i];
    if (!u.connected) continue;
    int err = flush_and_close(u);
    if (err != 0 && strict && i != kStderrUnit) {
      u.connected = true;  // keep the name for the diagnostic
      write_failure(i, err);
    }
  }
}

}  // namespace ortelix::textio::detail
