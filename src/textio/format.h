// Format strings: parsed once into a flat list of descriptors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ortelix::textio {

enum class Op : std::uint8_t {
  kText,        // characters written as they stand
  kSkip,        // nX: n columns, blank only if something follows in the record
  kSlash,       // end the record, start a new one
  kColon,       // end the write here when no items remain
  kInteger,     // Iw
  kFixed,       // Fw.d
  kAlpha,       // Aw
  kGroupOpen,   // r( ... ; `partner` is the index of the matching close
  kGroupClose,  // ... ) ; `partner` is the index of the matching open
};

struct Descriptor {
  explicit Descriptor(Op o) : op(o) {}
  Op op;
  int repeat = 1;   // data descriptors and groups
  int width = 0;    // w of Iw, Fw.d, Aw; n of nX
  int decimals = 0; // d of Fw.d
  int partner = -1; // group bracket pairing
  std::string text; // kText only
};

// A parsed format string. `reversion` is the index where processing resumes
// when the whole string has been used and items remain: the opening of the
// rightmost group standing directly inside the outer parentheses, or 0.
struct Format {
  std::string source;
  std::vector<Descriptor> ops;
  int reversion = 0;
  bool has_data = false;
};

// Parses a format string such as "(1X,8F12.6)" or "(10('PCNM',I2,2X,:))".
// Returns false and fills `error` for a malformed string; the program's
// format strings are constants, so a failure here is a programming error.
bool parse_format(std::string_view source, Format& out, std::string& error);

// The parsed form of a constant format string, parsed on first use.
const Format& format_of(std::string_view source);

// The traversal of a format for tests and debugging: "'PCNM' I2 2X :".
std::string describe(const Format& f);

}  // namespace ortelix::textio
