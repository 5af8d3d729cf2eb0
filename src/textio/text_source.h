// A text file read record by record with the dialogue program's own
// free-format reader, so that a file means to the tools what it means to
// the program, and errors can name their line.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "textio/char_stream.h"
#include "textio/list_read.h"

namespace ortelix::textio {

// The whole of a file, or of standard input for "-". The error is
// "name: reason", standard input being named "standard input".
Expected<std::string> read_whole_file(const std::string& path);

// How messages name a path: "-" is standard input.
std::string display_name(const std::string& path);

class TextSource {
 public:
  TextSource(std::string name, std::string text);

  const std::string& name() const { return name_; }
  std::size_t line_count() const { return starts_.size(); }
  // Characters in all.
  std::size_t size() const { return stream_.text().size(); }
  // 0-based; without its line feed (a carriage return stays).
  std::string_view line(std::size_t i) const;
  // The line the next record starts on, 0-based.
  std::size_t next_line() const { return next_; }
  void skip_to(std::size_t line) { next_ = line; }

  // One free-format read starting on the next line, as the program reads a
  // record: on success the rest of the last line used is discarded. Targets
  // start at 0 (a null value leaves them there). On failure `error_line`
  // is the 1-based line where the reader gave up.
  Expected<void, IoError> read_record(std::span<const Target> targets, std::size_t& error_line);
  Expected<void, IoError> read_record(std::initializer_list<Target> targets, std::size_t& error_line) {
    return read_record(std::span<const Target>(targets.begin(), targets.size()), error_line);
  }

 private:
  // The 0-based line that holds character `offset` (a line feed belongs to
  // the line it ends).
  std::size_t line_of(std::size_t offset) const;

  std::string name_;
  CharStream stream_;                // over the whole text
  std::vector<std::size_t> starts_;  // offset of each line's first character
  std::size_t next_ = 0;
};

// A line without the carriage return that a file from another system ends
// it with, and whether nothing but blanks and tabs is left.
std::string_view without_carriage_return(std::string_view line);
bool is_blank_line(std::string_view line);

// The fields of a line of a table: runs of characters between blanks,
// tabs and commas.
std::vector<std::string_view> split_fields(std::string_view line);

// "name:line: message"
std::string at_line(const TextSource& source, std::size_t line, const std::string& message);

}  // namespace ortelix::textio
