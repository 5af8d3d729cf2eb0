#include "cli/progress.h"

#include <unistd.h>

#include <cstdio>

namespace ortelix::cli {

namespace {

// Redrawn at most this often: a terminal is slow to scroll compared with
// the work between two calls.
constexpr auto kRedraw = std::chrono::milliseconds(200);
constexpr auto kQuietStart = std::chrono::seconds(1);

void put(const std::string& text) {
  // Only a terminal sees this; nothing is lost if a write comes up short.
  ssize_t ignored = ::write(STDERR_FILENO, text.data(), text.size());
  (void)ignored;
}

}  // namespace

TerminalProgress::TerminalProgress(std::string program, bool enabled)
    : program_(std::move(program)),
      enabled_(enabled), start_(std::chrono::steady_clock::now()), last_(start_ - kRedraw) {}

void TerminalProgress::stage(const std::string& name) {
  stage_ = name;
  show("");
}

void TerminalProgress::fraction(double done) {
  if (!enabled_) return;
  char pct[16];
  std::snprintf(pct, sizeof pct, "%3.0f%%", done * 100);
  show(pct);
}

void TerminalProgress::detail(const std::string& text) { show(text); }

void TerminalProgress::show(const std::string& text) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < kQuietStart || now - last_ < kRedraw) return;
  last_ = now;
  std::string line = program_ + ": " + stage_ + (text.empty() ? "" : " " + text);
  const std::size_t length = line.size();
  if (length < shown_) line.append(shown_ - length, ' ');
  put("\r" + line);
  shown_ = length;
}

void TerminalProgress::clear() {
  if (!enabled_ || shown_ == 0) return;
  put("\r" + std::string(shown_, ' ') + "\r");
  shown_ = 0;
}

}  // namespace ortelix::cli
