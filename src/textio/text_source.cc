#include "textio/text_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ortelix::textio {

std::string display_name(const std::string& path) { return path == "-" ? "standard input" : path; }

Expected<std::string> read_whole_file(const std::string& path) {
  const std::string name = display_name(path);
  auto failed = [&](int error) { return fail(name + ": " + std::strerror(error)); };
  const bool standard_input = path == "-";
  const int fd = standard_input ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return failed(errno);
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    if (!standard_input) ::close(fd);
    return failed(EISDIR);
  }
  std::string text;
  if (S_ISREG(st.st_mode) && st.st_size > 0) text.reserve(static_cast<std::size_t>(st.st_size));
  char block[1 << 16];
  int error = 0;
  for (;;) {
    const ssize_t got = ::read(fd, block, sizeof block);
    if (got > 0) {
      text.append(block, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      error = errno;
      break;
    }
  }
  if (!standard_input) ::close(fd);
  if (error != 0) return failed(error);
  return text;
}

TextSource::TextSource(std::string name, std::string text)
    : name_(std::move(name)), stream_(CharStream::from_text(std::move(text))) {
  const std::string_view all = stream_.text();
  for (std::size_t at = 0; at < all.size();) {
    starts_.push_back(at);
    const std::size_t end = all.find('\n', at);
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
}

std::string_view TextSource::line(std::size_t i) const {
  const std::string_view all = stream_.text();
  const std::size_t end = i + 1 < starts_.size() ? starts_[i + 1] - 1 : all.size();
  std::string_view text = all.substr(starts_[i], end - starts_[i]);
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  return text;
}

std::size_t TextSource::line_of(std::size_t offset) const {
  // The last line starting at or before the offset.
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return after == starts_.begin() ? 0 : static_cast<std::size_t>(after - starts_.begin()) - 1;
}

Expected<void, IoError> TextSource::read_record(std::span<const Target> targets, std::size_t& error_line) {
  for (const Target& t : targets) {
    switch (t.kind) {
      case Target::Kind::kInteger: *static_cast<std::int32_t*>(t.where) = 0; break;
      case Target::Kind::kReal: *static_cast<double*>(t.where) = 0.0; break;
      case Target::Kind::kName: *static_cast<std::string*>(t.where) = std::string(kNameLength, ' '); break;
    }
  }
  // The reader goes on over as many lines as the record needs and, on
  // success, to the start of the line after the last one it used; where it
  // stops tells the line. Reading from the record's first line on, never
  // from the file's start, keeps a file read in time proportional to its
  // length, however its records are spread over lines.
  const std::size_t size = stream_.text().size();
  stream_.seek(next_ < starts_.size() ? starts_[next_] : size);
  auto result = list_read(stream_, targets);
  const std::size_t at = stream_.offset();
  if (result.ok()) {
    next_ = at >= size ? starts_.size() : line_of(at);
    return result;
  }
  // A failure at the very end of the text is on the last line, whichever
  // character ended it.
  error_line = starts_.empty() ? 1 : (at >= size ? starts_.size() : line_of(at) + 1);
  return result;
}

std::string_view without_carriage_return(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool is_blank_line(std::string_view line) {
  return without_carriage_return(line).find_first_not_of(" \t") == std::string_view::npos;
}

std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> out;
  auto separator = [](char c) { return c == ' ' || c == '\t' || c == ','; };
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && separator(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !separator(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

std::string at_line(const TextSource& source, std::size_t line, const std::string& message) {
  return source.name() + ":" + std::to_string(line) + ": " + message;
}

}  // namespace ortelix::textio
