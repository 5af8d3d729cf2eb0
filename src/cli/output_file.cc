#include "cli/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ortelix::cli {
namespace {

// The signals whose default action ends the process, and which can be
// caught: a temporary file must not outlive any of them.
constexpr int kEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGPIPE, SIGALRM,
                                  SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGABRT};

// Names the signal handler may remove: fixed storage, since the handler
// may neither allocate nor lock. A slot is in use while `used` is set.
constexpr int kSlots = 16;
struct Slot {
  std::atomic<bool> used{false};
  char name[PATH_MAX];
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

// Threads inside a SignalsHeld section. Holding the signals keeps them
// from the thread that holds them only: threads that libraries start on
// their own (a BLAS's pool, started before main) take them meanwhile, and
// a handler run there between the creation of a file and the record of
// its name would leave the file behind. The handler waits for the sections
// to end; the threads in them cannot be interrupted, and they only create,
// rename or remove a file.
std::atomic<int> g_sections{0};

extern "C" void remove_and_die(int sig) {
  while (g_sections.load() > 0) {
  }
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
    for (int sig : kEndingSignals) sigaddset(&held, sig);
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
    g_sections.fetch_add(1);
  }
  ~SignalsHeld() {
    g_sections.fetch_sub(1);
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

bool write_all(int fd, const char* p, std::size_t left, int& error) {
  while (left > 0) {
    const ssize_t done = ::write(fd, p, left);
    if (done < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    p += done;
    left -= static_cast<std::size_t>(done);
  }
  return true;
}

// Everything in `from` (from its start) to `to`.
int copy_all(int from, int to) {
  if (lseek(from, 0, SEEK_SET) != 0) return errno;
  std::string block(kBufferSize, '\0');
  for (;;) {
    const ssize_t got = ::read(from, block.data(), block.size());
    if (got == 0) return 0;
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    int error = 0;
    if (!write_all(to, block.data(), static_cast<std::size_t>(got), error)) return error;
  }
}

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path that writing `path` reaches: symbolic links of the last
// component followed, as the shell's redirection follows them, so that a
// link stays a link and the file it leads to is the one replaced.
Expected<std::string> follow_links(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string link(PATH_MAX, '\0');
    const ssize_t length = readlink(path.c_str(), link.data(), link.size());
    if (length < 0) return fail(reason(errno));
    link.resize(static_cast<std::size_t>(length));
    path = link.starts_with('/') ? link : folder_of(path) + "/" + link;
  }
  return fail(reason(ELOOP));
}

// A file of no name in the folder for temporary files, for output that
// goes to a stream once complete.
int unnamed_temporary(int& error) {
  const char* tmpdir = std::getenv("TMPDIR");
  std::string name = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/ortelix.XXXXXX";
  const SignalsHeld held;
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  unlink(name.c_str());
  return fd;
}

}  // namespace

void remove_temporaries_on_signals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int sig : kEndingSignals) {
    struct sigaction action {};
    action.sa_handler = remove_and_die;
    sigemptyset(&action.sa_mask);
    for (int other : kEndingSignals) sigaddset(&action.sa_mask, other);
    sigaction(sig, &action, nullptr);
  }
  signal(SIGXFSZ, SIG_IGN);
}

Status OutputFile::fail_with(int error) const { return fail(path_ + ": " + reason(error)); }

Status OutputFile::open(const std::string& path) {
  path_ = path;
  buffer_.reserve(kBufferSize + 4096);
  int error = 0;
  if (path == "-") {
    path_ = "standard output";
    kind_ = Kind::kStandardOutput;
    fd_ = unnamed_temporary(error);
    return fd_ < 0 ? fail("standard output: no temporary file: " + reason(error)) : Status{};
  }
  if (path.empty() || path.back() == '/') return fail(path + ": not a file name");
  auto target = follow_links(path);
  if (!target.ok()) return fail(path + ": " + target.error());
  target_ = *target;
  struct stat st {};
  const bool exists = stat(target_.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return fail_with(errno);
  if (exists && S_ISDIR(st.st_mode)) return fail_with(EISDIR);
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a pipe: written into at the end, never replaced.
    kind_ = Kind::kStream;
    if (access(target_.c_str(), W_OK) != 0) return fail_with(errno);
    fd_ = unnamed_temporary(error);
    return fd_ < 0 ? fail(path + ": no temporary file: " + reason(error)) : Status{};
  }
  kind_ = Kind::kFile;
  const std::string folder = folder_of(target_);
  // The temporary name must fit wherever the final one does: a name of the
  // longest length the folder allows leaves no room for a prefix and a
  // suffix, so the temporary name keeps only as much of it as fits.
  long name_max = pathconf(folder.c_str(), _PC_NAME_MAX);
  if (name_max <= 0) name_max = NAME_MAX;
  std::string base = base_of(target_);
  const std::size_t room = static_cast<std::size_t>(name_max) - 8;  // "." and ".XXXXXX"
  if (base.size() > room) base.resize(room);
  std::string name = (folder == "/" ? "/" : folder + "/") + "." + base + ".XXXXXX";
  {
    const SignalsHeld held;
    fd_ = mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) return fail_with(errno);
    temporary_ = name;
    slot_ = take_slot(temporary_);
  }
  // mkstemp makes the file private. A file replaced keeps its permissions
  // (and, where the program may set it, its owner); a new one gets those
  // of any file this user creates.
  if (exists) {
    fchmod(fd_, st.st_mode & 07777);
    if (geteuid() == 0 && (st.st_uid != 0 || st.st_gid != 0)) {
      if (fchown(fd_, st.st_uid, st.st_gid) != 0) fchmod(fd_, st.st_mode & 0777);
    }
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
  }
  return {};
}

OutputFile::~OutputFile() {
  const SignalsHeld held;
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
  if (error_ == 0 && fd_ >= 0) write_all(fd_, buffer_.data(), buffer_.size(), error_);
  buffer_.clear();
}

Status OutputFile::finish() {
  flush();
  if (error_ == 0 && kind_ == Kind::kFile && fsync(fd_) != 0) error_ = errno;
  return error_ != 0 ? fail_with(error_) : Status{};
}

Status OutputFile::publish() {
  if (kind_ == Kind::kStandardOutput) {
    std::fflush(stdout);
    const int error = copy_all(fd_, STDOUT_FILENO);
    return error != 0 ? fail_with(error) : Status{};
  }
  if (kind_ == Kind::kStream) {
    const int out = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    if (out < 0) return fail_with(errno);
    int error = copy_all(fd_, out);
    if (::close(out) != 0 && error == 0) error = errno;
    return error != 0 ? fail_with(error) : Status{};
  }
  if (close(fd_) != 0) error_ = errno;
  fd_ = -1;
  if (error_ != 0) return fail_with(error_);
  {
    const SignalsHeld held;
    if (rename(temporary_.c_str(), target_.c_str()) != 0) return fail_with(errno);
    temporary_.clear();
    release_slot(slot_);
  }
  // The rename itself on disk, so that a crash soon after cannot bring
  // back the old file.
  const int folder = ::open(folder_of(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return {};
}

Status commit_all(std::initializer_list<OutputFile*> files) {
  for (OutputFile* f : files) {
    if (f == nullptr) continue;
    if (Status s = f->finish(); !s.ok()) return s;
  }
  for (bool streams : {true, false}) {
    for (OutputFile* f : files) {
      if (f == nullptr || (f->kind_ != OutputFile::Kind::kFile) != streams) continue;
      if (Status s = f->publish(); !s.ok()) return s;
    }
  }
  return {};
}

namespace {

// What a path names, for telling whether two paths are one file.
struct Identity {
  bool regular = false;  // an existing regular file: dev and ino say which
  dev_t dev = 0;
  ino_t ino = 0;
  std::string resolved;  // a file yet to be created: its folder resolved
  bool stream = false;   // a device, pipe or socket: exempt
};

Identity identify(const std::string& path, int standard_fd) {
  Identity id;
  struct stat st {};
  const bool exists = path == "-" ? fstat(standard_fd, &st) == 0 : stat(path.c_str(), &st) == 0;
  if (exists) {
    id.regular = S_ISREG(st.st_mode);
    id.stream = !id.regular && !S_ISDIR(st.st_mode);
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    return id;
  }
  if (path == "-") {
    id.stream = true;
    return id;
  }
  auto target = follow_links(path);
  const std::string t = target.ok() ? *target : path;
  char folder[PATH_MAX];
  if (realpath(folder_of(t).c_str(), folder) != nullptr) id.resolved = std::string(folder) + "/" + base_of(t);
  return id;
}

bool same(const Identity& a, const Identity& b) {
  if (a.stream || b.stream) return false;
  if (a.regular && b.regular) return a.dev == b.dev && a.ino == b.ino;
  return !a.resolved.empty() && a.resolved == b.resolved;
}

std::string shown(const NamedFile& f) { return f.path == "-" ? "standard output" : f.path; }

}  // namespace

Status check_distinct(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs) {
  std::vector<Identity> in, out;
  for (const NamedFile& f : inputs) in.push_back(identify(f.path, STDIN_FILENO));
  for (const NamedFile& f : outputs) out.push_back(identify(f.path, STDOUT_FILENO));
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    for (std::size_t j = 0; j < k; ++j) {
      if (same(out[j], out[k]) || (outputs[j].path == "-" && outputs[k].path == "-")) {
        return fail(outputs[j].option + " and " + outputs[k].option + " name the same file (" + shown(outputs[k]) +
                    "): give each output a file of its own");
      }
    }
    for (std::size_t j = 0; j < inputs.size(); ++j) {
      if (same(in[j], out[k])) {
        return fail(outputs[k].option + " " + shown(outputs[k]) + " is the input " + inputs[j].option + " (" +
                    (inputs[j].path == "-" ? "standard input" : inputs[j].path) +
                    "): writing it would destroy the data it is made from");
      }
    }
  }
  return {};
}

Status finish_standard_output() {
  const bool earlier = std::ferror(stdout) != 0;
  errno = 0;
  if (std::fflush(stdout) != 0 || earlier) {
    const int error = errno;
    return fail(std::string("standard output: ") + (error != 0 ? reason(error) : "write error"));
  }
  return {};
}

}  // namespace ortelix::cli
