// A one-line progress report on standard error, for work that takes long
// enough to be worth one: shown only when standard error is a terminal,
// and only once a second has passed since the program began.
#pragma once

#include <chrono>
#include <string>

namespace ortelix::large {

class Progress {
 public:
  // Silent unless `enabled`; the program enables it when standard error is
  // a terminal.
  explicit Progress(bool enabled);
  ~Progress() { clear(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // What is being done now, such as "near pairs" or "eigen-solver".
  void stage(const std::string& name);
  // How far the stage has come: a fraction from 0 to 1, or a free text.
  void fraction(double done);
  void detail(const std::string& text);
  // Takes the line away (before a message of the program's own).
  void clear();

 private:
  void show(const std::string& text);

  bool enabled_;
  std::chrono::steady_clock::time_point start_, last_;
  std::string stage_;
  std::size_t shown_ = 0;  // characters on the line now
};

}  // namespace ortelix::large
