// One free-format (list-directed) read.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "base/expected.h"
#include "textio/char_stream.h"

namespace ortelix::textio {

// Length of every file-name variable: typed names are cut or blank-padded
// to it.
constexpr std::size_t kNameLength = 79;

struct IoError {
  std::string context;  // "list in", "invalid integer", ...
  std::string reason;   // "end of file", "read unexpected character", ...
  bool operator==(const IoError&) const = default;
};

// A variable that a read fills. A null value, a slash or the end of the
// values of "r*" leaves it as it was: that is part of the interface.
struct Target {
  enum class Kind { kInteger, kReal, kName } kind;
  void* where;
  Target(std::int32_t& v) : kind(Kind::kInteger), where(&v) {}
  Target(double& v) : kind(Kind::kReal), where(&v) {}
  Target(std::string& v) : kind(Kind::kName), where(&v) {}
};

// Reads the targets from the next line on; once they are satisfied (or a
// slash is met) the rest of the last line used is discarded. On failure the
// targets read so far keep their new values and the error is returned.
Expected<void, IoError> list_read(CharStream& in, std::span<const Target> targets);
inline Expected<void, IoError> list_read(CharStream& in, std::initializer_list<Target> targets) {
  return list_read(in, std::span<const Target>(targets.begin(), targets.size()));
}

}  // namespace ortelix::textio
