// The ways a run ends: normal stop, the fatal diagnostic of a failed open,
// read or write, and the interrupt and termination signals. Each case runs
// in a forked child, in a fresh folder, with its own standard streams.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "textio/io.h"
#include "textio/units.h"

namespace ortelix::textio {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  std::string status;  // "exit N" or "signal N"
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void spill(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::string name79(const std::string& s) { return s + std::string(79 - s.size(), ' '); }

std::string abort_status() { return "signal " + std::to_string(SIGABRT); }

class Ending : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ortelix-ending-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    base_ = tmpl;
    work_ = base_ / "work";
    fs::create_directory(work_);
  }
  void TearDown() override { fs::remove_all(base_); }

  // `body` runs in the child after start_units(); if it returns, the child
  // exits with status 99, which no case expects.
  Outcome run(const std::function<void()>& body, const std::string& input = "") {
    spill(base_ / "stdin", input);
    std::fflush(nullptr);  // nothing of the parent's buffers may reach the child's files
    pid_t pid = fork();
    if (pid == 0) {
      rlimit no_core{0, 0};
      setrlimit(RLIMIT_CORE, &no_core);
      if (chdir(work_.c_str()) != 0) _exit(98);
      int in = ::open((base_ / "stdin").c_str(), O_RDONLY);
      int out = ::open((base_ / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err = ::open((base_ / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (in < 0 || out < 0 || err < 0) _exit(98);
      dup2(in, 0);
      dup2(out, 1);
      dup2(err, 2);
      start_units();
      body();
      _exit(99);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Outcome o;
    if (WIFEXITED(status)) o.status = "exit " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) o.status = "signal " + std::to_string(WTERMSIG(status));
    o.out = slurp(base_ / "stdout");
    o.err = slurp(base_ / "stderr");
    return o;
  }

  std::string file(const std::string& name) { return slurp(work_ / name); }

  fs::path base_;
  fs::path work_;
};

std::string diagnostic(const std::string& first, const std::string& unit_state, const std::string& format = "list io",
                       const char* direction = "reading") {
  return first + "\n" + unit_state + "\nlast format: " + format + "\nlately " + direction +
         " sequential formatted external IO\n";
}

TEST_F(Ending, StopFlushesEveryUnitAndSaysNothing) {
  Outcome o = run([] {
    open_unit(7, name79("rep.txt"), Status::kNew);
    write(7, "('FREE')");
    say(6, {"hello"});
    write(7, "(1X,3F5.0)", {1.0, 2.0});
    stop();
  });
  EXPECT_EQ("exit 0", o.status);
  EXPECT_EQ(" hello\n", o.out);
  EXPECT_EQ("", o.err);
  EXPECT_EQ("FREE\n    1.   2.\n", file("rep.txt"));
}

TEST_F(Ending, StopWithMessage) {
  Outcome o = run([] {
    open_unit(12, name79("vars.txt"), Status::kNew);
    for (int i = 1; i <= 3; ++i) write(12, "(I3)", {i});
    stop("msg");
  });
  EXPECT_EQ("exit 0", o.status);
  EXPECT_EQ("", o.out);
  EXPECT_EQ("STOP msg statement executed\n", o.err);
  EXPECT_EQ("  1\n  2\n  3\n", file("vars.txt"));
}

TEST_F(Ending, RecordsLongerThanAnyBufferKeepTheirOrder) {
  Outcome o = run([] {
    open_unit(7, name79("wide.txt"), Status::kNew);
    write(7, "('head')");
    for (int r = 0; r < 30; ++r) {
      UnitWrite w(7, "(1200F10.5)");
      for (int i = 0; i < 1200; ++i) w.put(2.5);
    }
    {
      UnitWrite w(7, "(30000F10.5)");
      for (int i = 0; i < 30000; ++i) w.put(0.5);
    }
    write(7, "('tail')");
    stop();
  });
  std::string expected = "head\n";
  std::string line;
  for (int i = 0; i < 1200; ++i) line += "   2.50000";
  for (int r = 0; r < 30; ++r) expected += line + "\n";
  for (int i = 0; i < 30000; ++i) expected += "   0.50000";
  expected += "\ntail\n";
  EXPECT_EQ("exit 0", o.status);
  const std::string got = file("wide.txt");
  EXPECT_EQ(expected.size(), got.size());
  EXPECT_TRUE(expected == got);
}

TEST_F(Ending, FailedOpens) {
  spill(work_ / "results.txt", "old\n");
  fs::create_directory(work_ / "sub");
  struct Case {
    int unit;
    std::string name;
    Status status;
    std::string reason;
    std::string unit_state;
  } cases[] = {
      {7, "results.txt", Status::kNew, "open: 'new' file exists", "apparent state: unit 7 named results.txt"},
      {9, "sub", Status::kNew, "open: 'new' file exists", "apparent state: unit 9 named sub"},
      {7, "", Status::kNew, "open: null file name", "apparent state: unit 7 named "},
      {2, "", Status::kOld, "open: null file name", "apparent state: unit 2 named "},
      {2, "nothere.txt", Status::kOld, "open: No such file or directory", "apparent state: unit 2 named nothere.txt"},
      {2, "sub", Status::kOld, "open: Is a directory", "apparent state: unit 2 named sub"},
      {12, "nodir/x.txt", Status::kNew, "open: No such file or directory",
       "apparent state: unit 12 named nodir/x.txt"},
  };
  for (const Case& c : cases) {
    Outcome o = run([&] { open_unit(c.unit, name79(c.name), c.status); });
    EXPECT_EQ(abort_status(), o.status) << c.name;
    EXPECT_EQ("", o.out) << c.name;
    EXPECT_EQ(diagnostic(c.reason, c.unit_state), o.err) << c.name;
  }
  EXPECT_EQ("old\n", file("results.txt"));
  EXPECT_FALSE(fs::exists(work_ / "nothere.txt"));
}

TEST_F(Ending, NameIsCutAtNulByte) {
  Outcome o = run([] {
    open_unit(7, name79(std::string("a\0b", 3)), Status::kNew);
    write(7, "('x')");
    stop();
  });
  EXPECT_EQ("exit 0", o.status);
  EXPECT_EQ("x\n", file("a"));
}

TEST_F(Ending, FilesKeepWhatTheyReceivedWhenTheRunAborts) {
  // The same name for the report and the spatial-variable file.
  Outcome o = run([] {
    open_unit(7, name79("rep.txt"), Status::kNew);
    write(7, "(' Run report')");
    write(7, "(1X,3F5.0)", {1.0, 2.0, 3.0});
    say(6, {"Name of the file?"});
    open_unit(12, name79("rep.txt"), Status::kNew);
  });
  EXPECT_EQ(abort_status(), o.status);
  EXPECT_EQ(" Name of the file?\n", o.out);
  EXPECT_EQ(diagnostic("open: 'new' file exists", "apparent state: unit 12 named rep.txt"), o.err);
  EXPECT_EQ(" Run report\n    1.   2.   3.\n", file("rep.txt"));
}

TEST_F(Ending, FailedReadsOnTheKeyboard) {
  struct Case {
    std::string input;
    int reads;  // reads of one integer, in turn; the last fails
    std::string reason;
  } cases[] = {
      {"abc\n", 1, "invalid number: incomprehensible list input"},
      {"2.0\n", 1, "invalid integer: read unexpected character"},
      {"3000000000\n", 1, "invalid integer: integer out of range"},
      {"0*3\n", 1, "bad repetition count: incomprehensible list input"},
      {"", 1, "list in: end of file"},
      {"5\n", 2, "list in: end of file"},
      {"5", 2, "read start: end of file"},
  };
  for (const Case& c : cases) {
    Outcome o = run([&] {
      open_unit(7, name79("rep.txt"), Status::kNew);
      write(7, "('kept')");
      std::int32_t answer = 0;
      for (int i = 0; i < c.reads; ++i) {
        say(6, {"Answer?"});
        read(kKeyboard, {answer});
      }
    }, c.input);
    EXPECT_EQ(abort_status(), o.status) << c.input;
    std::string prompts;
    for (int i = 0; i < c.reads; ++i) prompts += " Answer?\n";
    EXPECT_EQ(prompts, o.out) << c.input;
    EXPECT_EQ(diagnostic(c.reason, "apparent state: unit 5 (unnamed)"), o.err) << c.input;
    EXPECT_EQ("kept\n", file("rep.txt")) << c.input;
    fs::remove(work_ / "rep.txt");
  }
}

TEST_F(Ending, FailedReadsOnTheCoordinateFile) {
  spill(work_ / "coords.txt", "2 x\n");
  spill(work_ / "short.txt", "1 2\n");
  struct Case {
    const char* name;
    std::string reason;
  } cases[] = {
      {"coords.txt", "invalid number: incomprehensible list input"},
      {"short.txt", "list in: end of file"},
  };
  for (const Case& c : cases) {
    Outcome o = run([&] {
      open_unit(2, name79(c.name), Status::kOld);
      std::int32_t a = 0, b = 0, d = 0;
      read(2, {a, b, d});
    });
    EXPECT_EQ(abort_status(), o.status);
    EXPECT_EQ(diagnostic(c.reason, std::string("apparent state: unit 2 named ") + c.name), o.err);
  }
}

TEST_F(Ending, FailedWritesEndTheRunInsteadOfAShortFile) {
  // Files may grow to 200 bytes: enough for the diagnostic on standard
  // error, too little for three records of 98 bytes.
  const auto fill = [] {
    rlimit small{200, 200};
    setrlimit(RLIMIT_FSIZE, &small);
    open_unit(12, name79("big.txt"), Status::kNew);
    for (int r = 0; r < 3; ++r) write(12, "(1X,8F12.6)", {1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0});
  };
  const std::string expected =
      diagnostic("write: File too large", "apparent state: unit 12 named big.txt", "(1X,8F12.6)", "writing");
  for (int variant = 0; variant < 3; ++variant) {
    Outcome o = run([&] {
      fill();
      if (variant == 0) close_unit(12);
      if (variant == 1) stop();
      stop("done");
    });
    EXPECT_EQ(abort_status(), o.status) << variant;
    EXPECT_EQ(expected, o.err) << variant;
    fs::remove(work_ / "big.txt");
  }
}

TEST_F(Ending, SignalsFlushTheFilesAndEndWithStatusOne) {
  struct Case {
    int sig;
    const char* message;
  } cases[] = {{SIGINT, "Interrupt\n"}, {SIGTERM, "Killed\n"}};
  for (const Case& c : cases) {
    Outcome o = run([&] {
      open_unit(7, name79("rep.txt"), Status::kNew);
      write(7, "(' before the signal')");
      std::raise(c.sig);
    });
    EXPECT_EQ("exit 1", o.status) << c.message;
    EXPECT_EQ(c.message, o.err);
    EXPECT_EQ(" before the signal\n", file("rep.txt"));
    fs::remove(work_ / "rep.txt");
  }
}

}  // namespace
}  // namespace ortelix::textio
