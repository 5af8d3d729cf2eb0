// The ways a run ends through the unit table: the stop, and the fatal
// diagnostic of a failed open, read or write. Each case runs in a forked
// child, in a fresh folder, with its own standard streams.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "textio/io.h"
#include "textio/units.h"

namespace ortelix::textio {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Outcome {
  std::string status, out, err, report;  // report: what rep.txt holds at the end
};

// Runs `body` after start_units() with `input` on standard input, in a
// folder that holds Grid.txt, coords.txt ("x"), short.txt ("1 2") and the
// folder sub. A body that returns ends with status 99, which no case expects.
Outcome run(const std::function<void()>& body, const std::string& input = "") {
  char tmpl[] = "/tmp/ortelix-ending-XXXXXX";
  const fs::path base = mkdtemp(tmpl), work = base / "work";
  fs::create_directories(work / "sub");
  std::ofstream(base / "in") << input;
  std::ofstream(work / "Grid.txt") << "    1.   1.\n";
  std::ofstream(work / "coords.txt") << "x\n";
  std::ofstream(work / "short.txt") << "1 2\n";
  std::fflush(nullptr);
  if (fork() == 0) {
    rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    const int in = open((base / "in").c_str(), O_RDONLY), out = creat((base / "out").c_str(), 0644),
              err = creat((base / "err").c_str(), 0644);
    if (chdir(work.c_str()) != 0 || in < 0 || out < 0 || err < 0) _exit(98);
    dup2(in, 0), dup2(out, 1), dup2(err, 2);
    start_units();
    body();
    _exit(99);
  }
  int status = 0;
  wait(&status);
  Outcome o{WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                              : "signal " + std::to_string(WTERMSIG(status)),
            slurp(base / "out"), slurp(base / "err"), slurp(work / "rep.txt")};
  fs::remove_all(base);
  return o;
}

std::string diagnostic(const std::string& first, const std::string& state, const std::string& format = "list io",
                       const char* direction = "reading") {
  return first + "\n" + state + "\nlast format: " + format + "\nlately " + direction + " sequential formatted external IO\n";
}

const std::string kAbort = "signal " + std::to_string(SIGABRT);

TEST(Ending, StopFlushesEveryUnitWithOrWithoutAMessage) {
  for (const char* message : {"", "msg"}) {
    Outcome o = run([&] {
      open_unit(7, "rep.txt", FileStatus::kNew);
      write(7, "('FREE')");
      say(6, {"hello"});
      write(7, "(1X,3F5.0)", {1.0, 2.0});
      *message ? stop(message) : stop();
    });
    EXPECT_EQ("exit 0", o.status);
    EXPECT_EQ(" hello\n", o.out);
    EXPECT_EQ(*message ? "STOP msg statement executed\n" : "", o.err);
    EXPECT_EQ("FREE\n    1.   2.\n", o.report);
  }
}

// Forty records of 12000 characters fill the unit's buffer several times;
// the last one, of 300000, is longer than the buffer itself.
TEST(Ending, RecordsLongerThanTheBufferKeepTheirOrder) {
  const auto values = [](int r) { return r < 40 ? 1200 : 30000; };
  Outcome o = run([&] {
    open_unit(7, "rep.txt", FileStatus::kNew);
    for (int r = 0; r <= 40; ++r) {
      UnitWrite w(7, "(30000F10.5)");
      for (int i = 0; i < values(r); ++i) w.put(r + 0.5);
    }
    stop();
  });
  std::string expected;
  char field[16];
  for (int r = 0; r <= 40; ++r) {
    std::snprintf(field, sizeof field, "%10.5f", r + 0.5);
    for (int i = 0; i < values(r); ++i) expected += field;
    expected += "\n";
  }
  EXPECT_TRUE(expected == o.report);
}

// Every failure keeps what the report received: the diagnostic flushes
// and closes every unit before the abort. Unit 2 is opened OLD, the others
// NEW; then come `reads` reads of one item of `kind`, the last one failing.
TEST(Ending, FailedOpensAndReadsGiveTheFourLineDiagnostic) {
  struct Case {
    int unit;
    const char *name, *input;
    int reads;
    char kind;
    const char* reason;
  } cases[] = {
      {9, "Grid.txt", "", 0, 'i', "open: 'new' file exists"}, {12, "rep.txt", "", 0, 'i', "open: 'new' file exists"},
      {9, "sub", "", 0, 'i', "open: 'new' file exists"}, {7, "", "", 0, 'i', "open: null file name"},
      {2, "", "", 0, 'i', "open: null file name"}, {2, "nothere.txt", "", 0, 'i', "open: No such file or directory"},
      {2, "sub", "", 0, 'i', "open: Is a directory"}, {12, "nodir/x.txt", "", 0, 'i', "open: No such file or directory"},
      {2, "coords.txt", "", 1, 'i', "invalid number: incomprehensible list input"},
      {2, "short.txt", "", 2, 'i', "list in: end of file"}, {5, "", "", 1, 'i', "list in: end of file"},
      {5, "", "abc\n", 1, 'r', "invalid number: incomprehensible list input"},
      {5, "", "2.0\n", 1, 'i', "invalid integer: read unexpected character"},
      {5, "", "3000000000\n", 1, 'i', "invalid integer: integer out of range"},
      {5, "", "1.5e\n", 1, 'r', "exponent field: incomprehensible list input"},
      {5, "", "0*3\n", 1, 'i', "bad repetition count: incomprehensible list input"},
      {5, "", "5", 2, 'i', "read start: end of file"},
  };
  for (const Case& c : cases) {
    Outcome o = run([&] {
      open_unit(7, "rep.txt", FileStatus::kNew);
      write(7, "('kept')");
      if (c.unit != kKeyboard) open_unit(c.unit, c.name, c.unit == 2 ? FileStatus::kOld : FileStatus::kNew);
      std::int32_t i = 0;
      double r = 0;
      for (int k = 0; k < c.reads; ++k) c.kind == 'i' ? read(c.unit, {i}) : read(c.unit, {r});
    }, c.input);
    const std::string state = "apparent state: unit " + std::to_string(c.unit) +
                              (c.unit == kKeyboard ? " (unnamed)" : std::string(" named ") + c.name);
    EXPECT_EQ(kAbort, o.status) << state;
    EXPECT_EQ(diagnostic(c.reason, state), o.err);
    EXPECT_EQ("kept\n", o.report) << state;
  }
}

// Files may grow to 200 bytes: room for the diagnostic on standard error,
// too little for three records of 98. Whether the failure comes at the
// close, the stop or the stop with a message, no success is announced.
TEST(Ending, FailedWritesEndTheRunInsteadOfAShortFile) {
  for (int variant = 0; variant < 3; ++variant) {
    Outcome o = run([&] {
      rlimit small{200, 200};
      setrlimit(RLIMIT_FSIZE, &small);
      open_unit(12, "big.txt", FileStatus::kNew);
      for (int r = 0; r < 3; ++r) write(12, "(1X,8F12.6)", {1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0});
      if (variant == 0) close_unit(12);
      variant == 1 ? stop() : stop("done");
    });
    EXPECT_EQ(kAbort, o.status) << variant;
    EXPECT_EQ(diagnostic("write: File too large", "apparent state: unit 12 named big.txt", "(1X,8F12.6)", "writing"),
              o.err) << variant;
  }
}

}  // namespace
}  // namespace ortelix::textio
