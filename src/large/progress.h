// How a long computation tells how far it has come, and learns that it
// should stop: the command line draws a progress line, the Python module
// checks for an interrupt.
#pragma once

#include <string>

namespace ortelix::large {

// Thrown out of a computation whose progress says it is cancelled; the
// computation's entry point turns it into its failure.
struct Cancelled {};

class Progress {
 public:
  virtual ~Progress() = default;
  // What is being done now, such as "near pairs" or "eigen-solver".
  virtual void stage(const std::string& name) { (void)name; }
  // How far the stage has come: a fraction from 0 to 1, or a free text.
  virtual void fraction(double done) { (void)done; }
  virtual void detail(const std::string& text) { (void)text; }
  // Polled between steps of the work; true stops it.
  virtual bool cancelled() { return false; }

  // Between two steps: throws Cancelled when asked to stop.
  void poll() {
    if (cancelled()) throw Cancelled{};
  }
};

}  // namespace ortelix::large
