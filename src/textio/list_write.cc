#include "textio/list_write.h"

#include <charconv>

#include "textio/edit_output.h"

namespace ortelix::textio {

void ListWrite::wrap_if(std::size_t added) {
  if (!line_.empty() && line_.size() + added >= kLineLimit) {
    sink_.record(line_);
    line_.clear();
  }
}

void ListWrite::text(std::string_view item) {
  wrap_if(item.size());
  if (line_.empty()) line_ += ' ';
  line_ += item;
}

void ListWrite::integer(std::int64_t item) {
  char digits[24];
  std::uint64_t mag = item < 0 ? 0 - static_cast<std::uint64_t>(item) : static_cast<std::uint64_t>(item);
  auto r = std::to_chars(digits, digits + sizeof digits, mag);
  // Subtle: the wrap test counts the digits alone, not the blank or the sign.
  wrap_if(static_cast<std::size_t>(r.ptr - digits));
  line_ += ' ';
  if (item < 0) line_ += '-';
  line_.append(digits, r.ptr);
}

void ListWrite::real(double item) {
  std::string t = list_real_text(item);
  wrap_if(t.size());
  line_ += t;
}

void ListWrite::finish() {
  sink_.record(line_);
  line_.clear();
}

}  // namespace ortelix::textio
