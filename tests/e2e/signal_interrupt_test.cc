// The interrupt and termination signals, sent while the program waits for
// an answer and while it is deep in an eigen-decomposition. The run must end
// with "Interrupt" or "Killed" and status 1, and every file must hold whole
// records only: what had been written, flushed, nothing cut in two.
//
// "During" is made reliable by watching the screen: the signal goes only
// once the question has been shown (and, for the decomposition, answered).

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "e2e/run_binary.h"

namespace ortelix::e2e {
namespace {

long now_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

// The program running in `dir` with pipes on its three standard streams.
class Live {
 public:
  explicit Live(const std::string& dir) {
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(err[1], 2);
      for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
      if (chdir(dir.c_str()) != 0) _exit(127);
      ::signal(SIGINT, SIG_DFL);
      ::signal(SIGTERM, SIG_DFL);
      execl(ORTELIX_BINARY, ORTELIX_BINARY, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
  }
  ~Live() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_, err_}) {
      if (fd >= 0) close(fd);
    }
  }

  void answer(const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
      ssize_t n = write(in_, text.data() + done, text.size() - done);
      if (n <= 0) throw std::runtime_error("answer not taken");
      done += static_cast<std::size_t>(n);
    }
  }

  // Reads the screen until it ends with `text`; false after `timeout_ms`.
  bool wait_for(const std::string& text, int timeout_ms) {
    const long deadline = now_ms() + timeout_ms;
    while (!ends_with(screen_, text)) {
      long left = deadline - now_ms();
      if (left <= 0) return false;
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char buf[4096];
      ssize_t n = read(out_, buf, sizeof buf);
      if (n <= 0) return false;
      screen_.append(buf, static_cast<std::size_t>(n));
    }
    return true;
  }

  void send(int sig) { kill(pid_, sig); }

  // Collects the rest of both streams and the end status.
  void finish(std::string& screen, std::string& errors, std::string& status) {
    close(in_);
    in_ = -1;
    for (int fd : {out_, err_}) {
      std::string& into = fd == out_ ? screen_ : errors_;
      char buf[4096];
      for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) into.append(buf, static_cast<std::size_t>(n));
    }
    int st = 0;
    waitpid(pid_, &st, 0);
    pid_ = -1;
    status = WIFEXITED(st) ? "exit " + std::to_string(WEXITSTATUS(st))
                           : "signal " + std::to_string(WIFSIGNALED(st) ? WTERMSIG(st) : 0);
    screen = screen_;
    errors = errors_;
  }

 private:
  static bool ends_with(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  }

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  std::string screen_, errors_;
};

const std::string kBanner =
    " Program \"Ortelix\" creates a file of PCNM\n"
    " or polynomial spatial variables.\n"
    "\n"
    " Version 1.0\n"
    " Spatial variables for canonical ordination and regression.\n"
    "\n";
const std::string kAskLimit =
    "\n Truncation of the distance matrix --\n\n"
    " Highest unmodified value in distance matrix?\n"
    " Type an integer or a real number, ex. 1 or 65.22.\n"
    " Use the SAME measurement units as the site coordinates.\n";
const std::string kReportAtLimit = kBanner + "  Unidimensional transect with equidistant points\n" +
                                   "\n The coordinates were ranged and centred before computing the spatial variables.\n" +
                                   "\n Matrix of PCNM spatial variables\n";

struct Ending {
  std::string screen, errors, status;
  std::string report, variables;
};

// Runs a transect of `sites` up to the truncation question, then, after
// `limit` (empty: none) and `delay_ms`, sends `sig`.
Ending interrupt_at_limit(int sites, int sig, const std::string& limit, int delay_ms) {
  TempDir dir;
  Ending e;
  {
    Live live(dir.path());
    live.answer("rep.txt\nvar.txt\n1\n1\n" + std::to_string(sites) + "\n1\n");
    EXPECT_TRUE(live.wait_for(kAskLimit, 60000)) << "the truncation question never came";
    if (!limit.empty()) live.answer(limit);
    if (delay_ms > 0) usleep(static_cast<useconds_t>(delay_ms) * 1000);
    live.send(sig);
    live.finish(e.screen, e.errors, e.status);
  }
  e.report = read_file(dir.path() + "/rep.txt");
  e.variables = read_file(dir.path() + "/var.txt");
  return e;
}

TEST(Signals, WhileWaitingForTheTruncationLimit) {
  for (auto [sig, message] : {std::pair{SIGINT, "Interrupt\n"}, std::pair{SIGTERM, "Killed\n"}}) {
    SCOPED_TRACE(message);
    Ending e = interrupt_at_limit(10, sig, "", 0);
    EXPECT_EQ(message, e.errors);
    EXPECT_EQ("exit 1", e.status);
    // Everything the report had received is in it, whole.
    EXPECT_EQ(kReportAtLimit, e.report);
    EXPECT_EQ("", e.variables);
    EXPECT_EQ(kAskLimit, e.screen.substr(e.screen.size() - kAskLimit.size()));
  }
}

TEST(Signals, DuringTheEigenDecompositionOfManySites) {
  // 2000 sites take a second or more to decompose, however fast the
  // kernels (much longer under the sanitizers); the signal comes a tenth of
  // a second after the answer.
  for (auto [sig, message] : {std::pair{SIGINT, "Interrupt\n"}, std::pair{SIGTERM, "Killed\n"}}) {
    SCOPED_TRACE(message);
    Ending e = interrupt_at_limit(2000, sig, "1\n", 100);
    EXPECT_EQ(message, e.errors);
    EXPECT_EQ("exit 1", e.status);
    // Still deciding: the summary of the attempt never came.
    EXPECT_EQ(kAskLimit + "\n", e.screen.substr(e.screen.size() - kAskLimit.size() - 1));
    EXPECT_EQ(kReportAtLimit +
                  "    Highest unmodified distance value =        1.000\n"
                  "    Multiplier for \"large distances\"  =        4.000\n",
              e.report);
    EXPECT_EQ("", e.variables);
  }
}

TEST(Signals, BeforeAnyFileIsOpen) {
  TempDir dir;
  Live live(dir.path());
  ASSERT_TRUE(live.wait_for(" Name of output file containing the PCoA eigenvalues?\n", 10000));
  live.send(SIGINT);
  std::string screen, errors, status;
  live.finish(screen, errors, status);
  EXPECT_EQ("Interrupt\n", errors);
  EXPECT_EQ("exit 1", status);
  EXPECT_NE(0, access((dir.path() + "/rep.txt").c_str(), F_OK)) << "no file was named yet";
}

}  // namespace
}  // namespace ortelix::e2e
