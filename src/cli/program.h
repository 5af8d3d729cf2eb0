// What every tool does the same way at its top: one-line messages on
// standard error, the exit status, the last check of standard output, and
// memory that runs out.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/expected.h"
#include "cli/command_line.h"

namespace ortelix::cli {

class Program {
 public:
  explicit Program(std::string name) : name_(std::move(name)) {}
  const std::string& name() const { return name_; }

  // "name: message (see name --help)", exit status 2.
  int usage_error(const std::string& message) const;
  // "name: message", exit status 1.
  int data_error(const std::string& message) const;
  // Text for standard output (help, version).
  int print(const std::string& text) const;
  // What every tool does first with its parsed command line: a line that
  // cannot be read is a usage error, --help and --version are answered.
  // The exit status when that is all, nothing when the work goes on.
  template <class Command>
  std::optional<int> answer(const Expected<Command>& parsed, const char* help) const {
    if (!parsed.ok()) return usage_error(parsed.error());
    if (parsed->help) return print(help);
    if (parsed->version) return print(name_ + " " ORTELIX_VERSION "\n");
    return std::nullopt;
  }

  // The status to exit with once the work is done: 0, unless standard
  // output could not take what was printed.
  int done() const;

  // Runs `body(args)` and turns memory that runs out into a message and
  // exit status 1 rather than an abort; whatever `body` opened is closed
  // (and its temporary files removed) on the way out.
  int run(int argc, char** argv, int (*body)(const Program&, const std::vector<std::string>&)) const;

 private:
  std::string name_;
};

}  // namespace ortelix::cli
