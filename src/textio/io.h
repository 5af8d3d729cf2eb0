// The calls the rest of the program makes: formatted and free-format
// writes to a unit, free-format reads from a unit.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "textio/formatted_write.h"
#include "textio/list_write.h"
#include "textio/list_read.h"
#include "textio/ending.h"
#include "textio/units.h"

namespace ortelix::textio {

// An output item: a 32-bit integer, a 64-bit or 32-bit float (widened), or
// text (a literal or a name variable with its trailing blanks).
struct Item {
  enum class Kind { kInteger, kReal, kText } kind;
  std::int64_t integer = 0;
  double real = 0;
  std::string_view text;
  Item(std::int32_t v) : kind(Kind::kInteger), integer(v) {}
  Item(double v) : kind(Kind::kReal), real(v) {}
  Item(float v) : kind(Kind::kReal), real(static_cast<double>(v)) {}
  Item(std::string_view v) : kind(Kind::kText), text(v) {}
  Item(const std::string& v) : kind(Kind::kText), text(v) {}
  Item(const char* v) : kind(Kind::kText), text(v) {}
};

// Formatted write of the items under a constant format string.
void write(int unit, std::string_view format, std::initializer_list<Item> items = {});

// Free-format write; no items gives an empty line.
void say(int unit, std::initializer_list<Item> items = {});

// Free-format read; any failure ends the run with the fatal diagnostic.
void read(int unit, std::span<const Target> targets);
inline void read(int unit, std::initializer_list<Target> targets) {
  read(unit, std::span<const Target>(targets.begin(), targets.size()));
}

// A formatted write whose items are supplied one by one, for long records.
class UnitWrite : public FormattedWrite {
 public:
  UnitWrite(int unit, std::string_view format);
  ~UnitWrite() { finish(); }
};

}  // namespace ortelix::textio
