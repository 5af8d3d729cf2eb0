#include "textio/char_stream.h"

#include <cerrno>
#include <unistd.h>

namespace ortelix::textio {

CharStream CharStream::from_text(std::string text) {
  CharStream s(-1);
  s.buf_ = std::move(text);
  return s;
}

bool CharStream::refill() {
  if (fd_ < 0 || end_seen_) {
    end_seen_ = true;
    return false;
  }
  constexpr std::size_t kBlock = 1 << 16;
  buf_.resize(kBlock);
  pos_ = 0;
  for (;;) {
    ssize_t got = ::read(fd_, buf_.data(), kBlock);
    if (got > 0) {
      buf_.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) read_errno_ = errno;
    buf_.clear();
    end_seen_ = true;
    return false;
  }
}

}  // namespace ortelix::textio
