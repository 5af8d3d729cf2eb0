// A text file held as lines, read record by record with the program's own
// free-format reader, so that a file means to the tools what it means to
// the program, and errors can name their line.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textio/list_read.h"

namespace ortelix::tools {

// Reads the whole file; on failure returns the system's reason.
std::optional<std::string> read_whole_file(const std::string& path, std::string& text);

class TextSource {
 public:
  TextSource(std::string name, std::string text);

  const std::string& name() const { return name_; }
  std::size_t line_count() const { return lines_.size(); }
  // 0-based; without its line feed (a carriage return stays).
  std::string_view line(std::size_t i) const { return lines_[i]; }
  // The line the next record starts on, 0-based.
  std::size_t next_line() const { return next_; }
  void skip_to(std::size_t line) { next_ = line; }

  // One free-format read starting on the next line, as the program reads a
  // record: on success the rest of the last line used is discarded. Targets
  // start at 0 (a null value leaves them there). On failure `error_line`
  // is the 1-based line where the reader gave up.
  std::optional<textio::IoError> read_record(std::span<const textio::Target> targets, std::size_t& error_line);
  std::optional<textio::IoError> read_record(std::initializer_list<textio::Target> targets, std::size_t& error_line) {
    return read_record(std::span<const textio::Target>(targets.begin(), targets.size()), error_line);
  }

 private:
  std::string name_;
  std::string text_;
  std::vector<std::string_view> lines_;
  bool ends_with_line_feed_ = true;
  std::size_t next_ = 0;
};

// "name:line: message"
std::string at_line(const TextSource& source, std::size_t line, const std::string& message);

}  // namespace ortelix::tools
