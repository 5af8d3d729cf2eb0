// A one-line progress report on standard error, for work that takes long
// enough to be worth one: shown only when standard error is a terminal,
// and only once a second has passed since the program began.
#pragma once

#include <chrono>
#include <string>

#include "large/progress.h"

namespace ortelix::cli {

class TerminalProgress : public large::Progress {
 public:
  // Silent unless `enabled`; the programs enable it when standard error is
  // a terminal. `program` starts the line.
  TerminalProgress(std::string program, bool enabled);
  ~TerminalProgress() override { clear(); }
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  void stage(const std::string& name) override;
  void fraction(double done) override;
  void detail(const std::string& text) override;
  // Takes the line away (before a message of the program's own).
  void clear();

 private:
  void show(const std::string& text);

  std::string program_;
  bool enabled_;
  std::chrono::steady_clock::time_point start_, last_;
  std::string stage_;
  std::size_t shown_ = 0;  // characters on the line now
};

}  // namespace ortelix::cli
