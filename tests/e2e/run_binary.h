// Runs the built program in a fresh temporary folder with answers on
// standard input, and collects everything it leaves behind.
#pragma once

#include <map>
#include <string>

namespace ortelix::e2e {

struct RunResult {
  std::string stdout_text;
  std::string stderr_text;
  // "exit N", or for a death by signal "exit 128+N" as a shell reports it
  // ("exit 134" after an abort).
  std::string status;
  std::map<std::string, std::string> files;  // every regular file of the folder afterwards
};

struct RunOptions {
  std::map<std::string, std::string> input_files;  // placed in the folder first
  long file_size_limit = -1;                        // RLIMIT_FSIZE in bytes when >= 0
  int signal_after_ms = -1;                         // send `signal` after this delay when >= 0
  int signal = 0;
  bool close_stdin_after_input = true;              // false: keep stdin open (signal tests)
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

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);

// Replaces the seconds of every " Computation time:" line by "X": they
// depend on the clock.
std::string mask_time(const std::string& text);

}  // namespace ortelix::e2e
