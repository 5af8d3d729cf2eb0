// Runs the built program in a fresh temporary folder with answers on
// standard input, and collects everything it leaves behind.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ortelix::e2e {

struct RunResult {
  std::string stdout_text;
  std::string stderr_text;
  // "exit N", or for a death by signal "exit 128+N" as a shell reports it
  // ("exit 134" after an abort).
  std::string status;
  // Every regular file under the folder afterwards, by relative path
  // ("sub/rep.txt").
  std::map<std::string, std::string> files;
};

struct RunOptions {
  // Placed in the folder first; a relative path creates its folders.
  std::map<std::string, std::string> input_files;
  long file_size_limit = -1;  // RLIMIT_FSIZE in bytes when >= 0
  // When `signal` is set, standard input stays open after the answers and
  // the signal goes `signal_delay_ms` after the screen first shows
  // `signal_after`.
  int signal = 0;
  std::string signal_after;
  int signal_delay_ms = 0;
};

// A fresh empty folder under the system's temporary directory; removed by
// the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Runs the program in `dir` (which must exist), stdin fed from `input`.
RunResult run_in(const std::string& dir, const std::string& input, const RunOptions& options = {});

// Runs the program in a fresh temporary folder.
RunResult run_fresh(const std::string& input, const RunOptions& options = {});

// A run of a program that takes a command line and no standard input.
struct ProgramRun {
  int status = -1;  // the exit status, or 128 + the signal
  std::string out, err;
};

struct ProgramOptions {
  std::string stdin_text;   // all of standard input
  std::string stdout_path;  // when set, standard output goes there instead of being captured
  long file_size_limit = -1;  // RLIMIT_FSIZE in bytes when >= 0
  long memory_limit = -1;     // RLIMIT_AS in bytes when >= 0
};

// Runs `binary` with `args` in `dir`.
ProgramRun run_program(const char* binary, const std::vector<std::string>& args, const std::string& dir,
                       const ProgramOptions& options = {});

std::string read_file(const std::string& path);
// Every regular file under `dir`, by path relative to it.
std::map<std::string, std::string> read_tree(const std::string& dir);
void write_file(const std::string& path, const std::string& content);

// Replaces the seconds of every " Computation time:" line by "X": they
// depend on the clock.
std::string mask_time(const std::string& text);

}  // namespace ortelix::e2e
