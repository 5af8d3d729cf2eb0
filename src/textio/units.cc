#include "textio/units.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "textio/ending.h"
#include "textio/signals.h"
#include "textio/unit_table.h"

namespace ortelix::textio {
namespace {

using namespace detail;

class UnitSink : public RecordSink {
 public:
  explicit UnitSink(int unit) : unit_(unit) {}
  void transfer(std::string_view format) override { g_units[unit_].last_format.assign(format); }
  void record(std::string_view text) override {
    SignalBlock block;
    Unit& u = g_units[unit_];
    if (u.len + text.size() + 1 > kBufferSize) {
      if (int err = flush_buffer(u)) write_failure(unit_, err);
      if (text.size() + 1 > kBufferSize) {
        std::string whole(text);
        whole += '\n';
        if (!write_all(u.fd, whole.data(), whole.size())) write_failure(unit_, errno);
        return;
      }
    }
    std::memcpy(u.buf + u.len, text.data(), text.size());
    u.len += text.size();
    u.buf[u.len++] = '\n';
    if (u.flush_each_record) {
      if (int err = flush_buffer(u)) write_failure(unit_, err);
    }
  }

 private:
  int unit_;
};

UnitSink g_sinks[kMaxUnit + 1] = {
#define S(n) UnitSink(n)
#define S10(n) S(n), S(n + 1), S(n + 2), S(n + 3), S(n + 4), S(n + 5), S(n + 6), S(n + 7), S(n + 8), S(n + 9)
    S10(0), S10(10), S10(20), S10(30), S10(40), S10(50), S10(60), S10(70), S10(80), S10(90)
#undef S10
#undef S
};

void connect_output(Unit& u, int fd, bool flush_each_record) {
  u.connected = true;
  u.output = true;
  u.fd = fd;
  u.buf = new char[kBufferSize];
  u.len = 0;
  u.flush_each_record = flush_each_record;
}

std::string trimmed(std::string_view name) {
  std::size_t end = name.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : name.substr(0, end + 1));
}

}  // namespace

void start_units() {
  SignalBlock block;
  connect_output(g_units[kStderrUnit], STDERR_FILENO, true);
  connect_output(g_units[kScreen], STDOUT_FILENO, true);  // a prompt shows before the read waits
  Unit& in = g_units[kKeyboard];
  in.connected = true;
  in.fd = STDIN_FILENO;
  in.input = std::make_unique<CharStream>(STDIN_FILENO);

  install_run_signals();
}

void open_unit(int unit, std::string_view name79, FileStatus status) {
  std::string name = trimmed(name79);
  {
    SignalBlock block;
    Unit& u = g_units[unit];
    if (u.connected) flush_and_close(u);
    u.named = true;
    u.name = name;
    u.last_format.clear();
  }
  if (name.empty()) fatal(unit, IoError{"open", "null file name"}, "list io", true);
  // The system sees the name up to its first NUL byte.
  std::string sys_name = name.substr(0, name.find('\0'));
  SignalBlock block;
  Unit& u = g_units[unit];
  if (status == FileStatus::kNew) {
    int fd = ::open(sys_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      int err = errno;
      fatal(unit, IoError{"open", err == EEXIST ? "'new' file exists" : std::strerror(err)}, "list io", true);
    }
    connect_output(u, fd, false);
  } else {
    int fd = ::open(sys_name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fatal(unit, IoError{"open", std::strerror(errno)}, "list io", true);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      fatal(unit, IoError{"open", std::strerror(EISDIR)}, "list io", true);
    }
    u.connected = true;
    u.output = false;
    u.fd = fd;
    u.input = std::make_unique<CharStream>(fd);
  }
}

void close_unit(int unit) {
  SignalBlock block;
  Unit& u = g_units[unit];
  if (!u.connected) return;
  if (int err = flush_and_close(u)) {
    u.connected = true;
    write_failure(unit, err);
  }
}

RecordSink& unit_sink(int unit, std::string_view format_for_diagnostic) {
  Unit& u = g_units[unit];
  if (!u.connected || !u.output) {
    put_stderr("internal error: write to unit " + std::to_string(unit) + " which is not open for output\n");
    std::abort();
  }
  u.last_format.assign(format_for_diagnostic);
  return g_sinks[unit];
}

CharStream& unit_input(int unit) {
  Unit& u = g_units[unit];
  if (!u.connected || !u.input) {
    put_stderr("internal error: read from unit " + std::to_string(unit) + " which is not open for input\n");
    std::abort();
  }
  return *u.input;
}

}  // namespace ortelix::textio
