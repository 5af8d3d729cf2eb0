#include "support/run_binary.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace ortelix::e2e {
namespace {

void remove_tree(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    chmod(path.c_str(), 0700);
    if (DIR* d = opendir(path.c_str())) {
      while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") remove_tree(path + "/" + name);
      }
      closedir(d);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

// RLIMIT_FSIZE or RLIMIT_AS of `bytes`, both soft and hard; none when negative.
void set_limit(decltype(RLIMIT_AS) resource, long bytes) {
  const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
  if (bytes >= 0) setrlimit(resource, &limit);
}

long now_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

}  // namespace

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/ortelix-e2e-XXXXXX";
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() { remove_tree(path_); }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

std::map<std::string, std::string> read_tree(const std::string& dir) {
  std::map<std::string, std::string> files;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return files;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name, path = dir + "/" + name;
    struct stat st {};
    if (name == "." || name == ".." || lstat(path.c_str(), &st) != 0) continue;
    if (S_ISREG(st.st_mode)) files[name] = read_file(path);
    if (S_ISDIR(st.st_mode)) {
      for (auto& [sub, content] : read_tree(path)) files[name + "/" + sub] = std::move(content);
    }
  }
  closedir(d);
  return files;
}

std::string mask_time(const std::string& text) {
  static const std::regex time_line("( Computation time:) *[-0-9.*]+ sec\\.");
  return std::regex_replace(text, time_line, "$1 X sec.");
}

RunResult run_in(const std::string& dir, const std::string& input, const RunOptions& options) {
  for (const auto& [name, content] : options.input_files) {
    for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1)) {
      mkdir((dir + "/" + name.substr(0, slash)).c_str(), 0755);
    }
    write_file(dir + "/" + name, content);
  }
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) || pipe(out_pipe) || pipe(err_pipe)) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
    if (chdir(dir.c_str()) != 0) _exit(127);
    set_limit(RLIMIT_FSIZE, options.file_size_limit);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM}) signal(sig, SIG_DFL);
    execl(ORTELIX_BINARY, ORTELIX_BINARY, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  signal(SIGPIPE, SIG_IGN);

  RunResult result;
  std::size_t written = 0;
  int in_fd = in_pipe[1];
  fcntl(in_fd, F_SETFL, O_NONBLOCK);
  const bool keep_stdin = options.signal != 0;
  if (input.empty() && !keep_stdin) {
    close(in_fd);
    in_fd = -1;
  }
  // A signal whose cue never shows ends the run after two minutes instead
  // of leaving it waiting for an answer.
  long deadline = keep_stdin ? now_ms() + 120000 : -1;
  int to_send = keep_stdin ? SIGKILL : 0;
  bool out_open = true, err_open = true;
  while (out_open || err_open) {
    pollfd fds[3];
    int nfds = 0, out_i = -1, err_i = -1, in_i = -1;
    if (out_open) { fds[nfds] = {out_pipe[0], POLLIN, 0}; out_i = nfds++; }
    if (err_open) { fds[nfds] = {err_pipe[0], POLLIN, 0}; err_i = nfds++; }
    if (in_fd >= 0 && written < input.size()) { fds[nfds] = {in_fd, POLLOUT, 0}; in_i = nfds++; }
    int timeout = deadline >= 0 ? static_cast<int>(std::max(0L, deadline - now_ms())) : -1;
    if (poll(fds, static_cast<nfds_t>(nfds), timeout) < 0 && errno == EINTR) continue;
    if (deadline >= 0 && now_ms() >= deadline) {
      kill(pid, to_send);
      deadline = -1;
    }
    char buf[65536];
    auto drain = [&](int i, int fd, std::string& into, bool& open) {
      if (i < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) return;
      ssize_t n = read(fd, buf, sizeof buf);
      if (n > 0) {
        into.append(buf, static_cast<std::size_t>(n));
      } else {
        open = false;
      }
    };
    drain(out_i, out_pipe[0], result.stdout_text, out_open);
    drain(err_i, err_pipe[0], result.stderr_text, err_open);
    if (to_send == SIGKILL && result.stdout_text.find(options.signal_after) != std::string::npos) {
      to_send = options.signal;
      deadline = now_ms() + options.signal_delay_ms;
    }
    if (in_i >= 0 && (fds[in_i].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t n = write(in_fd, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n < 0 && errno != EAGAIN) written = input.size();
      if (written >= input.size() && !keep_stdin) {
        close(in_fd);
        in_fd = -1;
      }
    }
  }
  if (in_fd >= 0) close(in_fd);
  close(out_pipe[0]);
  close(err_pipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  signal(SIGPIPE, SIG_DFL);
  if (WIFEXITED(status)) {
    result.status = "exit " + std::to_string(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    result.status = "exit " + std::to_string(128 + WTERMSIG(status));
  }
  result.files = read_tree(dir);
  return result;
}

RunResult run_fresh(const std::string& input, const RunOptions& options) {
  TempDir dir;
  return run_in(dir.path(), input, options);
}

ProgramRun run_program(const char* binary, const std::vector<std::string>& args, const std::string& dir,
                       const ProgramOptions& options) {
  const TempDir capture;
  const std::string in = capture.path() + "/in", out = capture.path() + "/out", err = capture.path() + "/err";
  write_file(in, options.stdin_text);
  const std::string& out_path = options.stdout_path.empty() ? out : options.stdout_path;
  const pid_t child = fork();
  if (child == 0) {
    const int i = open(in.c_str(), O_RDONLY), o = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
              e = creat(err.c_str(), 0600);
    if (chdir(dir.c_str()) != 0 || i < 0 || o < 0 || e < 0) _exit(127);
    dup2(i, 0), dup2(o, 1), dup2(e, 2);
    set_limit(RLIMIT_FSIZE, options.file_size_limit);
    set_limit(RLIMIT_AS, options.memory_limit);
    std::vector<char*> argv{const_cast<char*>(binary)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(binary, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
          options.stdout_path.empty() ? read_file(out) : "", read_file(err)};
}

}  // namespace ortelix::e2e
