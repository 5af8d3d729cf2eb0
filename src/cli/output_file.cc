#include "large/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ortelix::large {
namespace {

// Names the signal handler may remove: fixed storage, since the handler
// may neither allocate nor lock. A slot is in use while `used` is set.
constexpr int kSlots = 4;
struct Slot {
  std::atomic<bool> used{false};
  char name[4096];
};
Slot g_slots[kSlots];

int take_slot(const std::string& name) {
  if (name.size() >= sizeof g_slots[0].name) return -1;
  for (int s = 0; s < kSlots; ++s) {
    if (!g_slots[s].used.load()) {
      std::memcpy(g_slots[s].name, name.c_str(), name.size() + 1);
      g_slots[s].used.store(true);
      return s;
    }
  }
  return -1;
}

void release_slot(int& slot) {
  if (slot >= 0) g_slots[slot].used.store(false);
  slot = -1;
}

extern "C" void remove_and_die(int sig) {
  for (Slot& s : g_slots) {
    if (s.used.load()) unlink(s.name);
  }
  signal(sig, SIG_DFL);
  raise(sig);
}

constexpr std::size_t kBufferSize = 1 << 20;

std::string reason(int error) { return std::strerror(error); }

// Holds back the signals that remove temporary files, so that none comes
// between the creation of a file and the record of its name, or between a
// rename and the release of the name.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, sig);
    sigprocmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_;
};

}  // namespace

void remove_temporaries_on_signals() {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    action.sa_handler = remove_and_die;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
  }
}

std::string OutputFile::open(const std::string& path) {
  path_ = path;
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.empty()) return path + ": not a file name";
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return path + ": " + reason(EISDIR);
  std::string name = folder + "." + base + ".XXXXXX";
  const SignalsHeld held;
  fd_ = mkstemp(name.data());
  if (fd_ < 0) return path + ": " + reason(errno);
  temporary_ = name;
  slot_ = take_slot(temporary_);
  // mkstemp makes the file private; the finished file gets the permissions
  // of any file this user creates.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd_, 0666 & ~mask);
  buffer_.reserve(kBufferSize + 4096);
  return "";
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) close(fd_);
  if (!temporary_.empty()) unlink(temporary_.c_str());
  release_slot(slot_);
}

void OutputFile::record(std::string_view text) {
  buffer_.append(text);
  buffer_.push_back('\n');
  if (buffer_.size() >= kBufferSize) flush();
}

void OutputFile::append(std::string_view text) {
  buffer_.append(text);
  if (buffer_.size() >= kBufferSize) flush();
}

void OutputFile::flush() {
  const char* p = buffer_.data();
  std::size_t left = buffer_.size();
  while (left > 0 && error_ == 0) {
    const ssize_t done = ::write(fd_, p, left);
    if (done < 0) {
      if (errno != EINTR) error_ = errno;
      continue;
    }
    p += done;
    left -= static_cast<std::size_t>(done);
  }
  buffer_.clear();
}

std::string OutputFile::commit() {
  flush();
  if (error_ == 0 && close(fd_) != 0) error_ = errno;
  fd_ = -1;
  const SignalsHeld held;
  if (error_ == 0 && rename(temporary_.c_str(), path_.c_str()) != 0) error_ = errno;
  if (error_ != 0) return path_ + ": " + reason(error_);
  temporary_.clear();
  release_slot(slot_);
  return "";
}

}  // namespace ortelix::large
