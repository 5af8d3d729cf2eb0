#include "textio/units.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ortelix::textio {
namespace {

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

Unit g_units[kMaxUnit + 1];

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

[[noreturn]] void write_failure(int unit, int err) {
  fatal(unit, IoError{"write", std::strerror(err)}, g_units[unit].last_format, /*reading=*/false);
}

// Returns the errno of a failed write, 0 on success.
int flush_buffer(Unit& u) {
  if (u.len == 0) return 0;
  if (!write_all(u.fd, u.buf, u.len)) return errno;
  u.len = 0;
  return 0;
}

// Flushes and closes; returns the errno of the first failure, 0 if none.
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
// file unit ends the run with the write diagnostic.
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

void open_unit(int unit, std::string_view name79, Status status) {
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
  if (status == Status::kNew) {
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
