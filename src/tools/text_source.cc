#include "tools/text_source.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "textio/char_stream.h"

namespace ortelix::tools {

std::optional<std::string> read_whole_file(const std::string& path, std::string& text) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::strerror(errno ? errno : EACCES);
  std::ostringstream all;
  all << in.rdbuf();
  if (in.bad()) return "read error";
  text = all.str();
  return std::nullopt;
}

TextSource::TextSource(std::string name, std::string text) : name_(std::move(name)), text_(std::move(text)) {
  std::string_view all = text_;
  while (!all.empty()) {
    std::size_t end = all.find('\n');
    if (end == std::string_view::npos) {
      lines_.push_back(all);
      ends_with_line_feed_ = false;
      break;
    }
    lines_.push_back(all.substr(0, end));
    all.remove_prefix(end + 1);
  }
}

std::optional<textio::IoError> TextSource::read_record(std::span<const textio::Target> targets,
                                                       std::size_t& error_line) {
  // The reader has no notion of lines, so it is given one more line at a
  // time until the record is complete: a read that succeeds on lines
  // first..last-1 but not without line last-1 ended on that line, and a
  // read that fails for any other reason than running out of text failed
  // on the line just added.
  for (std::size_t last = next_ + 1;; ++last) {
    if (last > lines_.size()) last = lines_.size();
    std::string chunk;
    for (std::size_t i = next_; i < last; ++i) {
      chunk.append(lines_[i]);
      if (i + 1 < lines_.size() || ends_with_line_feed_) chunk += '\n';
    }
    for (const textio::Target& t : targets) {
      switch (t.kind) {
        case textio::Target::Kind::kInteger: *static_cast<std::int32_t*>(t.where) = 0; break;
        case textio::Target::Kind::kReal: *static_cast<double*>(t.where) = 0.0; break;
        case textio::Target::Kind::kName:
          *static_cast<std::string*>(t.where) = std::string(textio::kNameLength, ' ');
          break;
      }
    }
    textio::CharStream stream = textio::CharStream::from_text(std::move(chunk));
    std::optional<textio::IoError> err = textio::list_read(stream, targets);
    if (!err) {
      next_ = last;
      return std::nullopt;
    }
    const bool ran_out = err->context == "list in" && err->reason == "end of file";
    if (ran_out && last < lines_.size()) continue;
    error_line = last == 0 ? 1 : last;
    return err;
  }
}

std::string at_line(const TextSource& source, std::size_t line, const std::string& message) {
  return source.name() + ":" + std::to_string(line) + ": " + message;
}

}  // namespace ortelix::tools
