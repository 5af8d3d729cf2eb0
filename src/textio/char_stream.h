// The characters of one input unit, read ahead in blocks.
#pragma once

#include <string>
#include <string_view>

namespace ortelix::textio {

class CharStream {
 public:
  static constexpr int kEnd = -1;

  explicit CharStream(int fd) : fd_(fd) {}
  // A stream over fixed text, for tests.
  static CharStream from_text(std::string text);

  int peek() {
    if (pos_ < buf_.size()) return static_cast<unsigned char>(buf_[pos_]);
    return refill() ? static_cast<unsigned char>(buf_[pos_]) : kEnd;
  }
  int get() {
    int c = peek();
    if (c != kEnd) ++pos_;
    return c;
  }

  // A stream over fixed text only: where the next character is, and a
  // jump to another place (which forgets an end already seen).
  std::size_t offset() const { return pos_; }
  std::string_view text() const { return buf_; }
  void seek(std::size_t offset) {
    pos_ = offset < buf_.size() ? offset : buf_.size();
    end_seen_ = false;
  }

  // Set whenever a read reaches the end of the stream; it stays set.
  bool end_seen() const { return end_seen_; }
  // The system's reason when the last refill failed (0 when it did not).
  int read_errno() const { return read_errno_; }

 private:
  bool refill();

  int fd_;
  std::string buf_;
  std::size_t pos_ = 0;
  bool end_seen_ = false;
  int read_errno_ = 0;
};

}  // namespace ortelix::textio
