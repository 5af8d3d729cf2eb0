#include "textio/list_read.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace ortelix::textio {
namespace {

constexpr int kEnd = CharStream::kEnd;

bool is_digit(int c) { return c >= '0' && c <= '9'; }
bool is_blank(int c) { return c == ' ' || c == '\t'; }
bool is_exponent_letter(int c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }
// What ends an unquoted name, and what tells "r*" (r nulls) from "r*value".
bool ends_name(int c) { return c == kEnd || c == ' ' || c == '\t' || c == ',' || c == '/' || c == '\n'; }

using Result = Expected<void, IoError>;

Unexpected<IoError> incomprehensible(const char* context) { return {{context, "incomprehensible list input"}}; }

// A value as scanned, before it is stored into a target.
struct Scanned {
  enum class Kind { kNull, kSlash, kValue } kind = Kind::kNull;
  std::int32_t integer = 0;
  double real = 0;
  std::string name;
};

class Reader {
 public:
  explicit Reader(CharStream& in) : in_(in) {}

  Result run(std::span<const Target> targets) {
    if (in_.end_seen()) return Unexpected{IoError{"read start", "end of file"}};
    for (const Target& t : targets) {
      Scanned v;
      if (repeat_left_ > 0) {
        --repeat_left_;
        v = repeat_value_;
      } else if (Result r = next_value(t.kind, v); !r.ok()) {
        return r;
      }
      if (v.kind == Scanned::Kind::kSlash) break;
      if (v.kind == Scanned::Kind::kValue) store(t, v);
    }
    discard_line();
    return {};
  }

 private:
  static void store(const Target& t, const Scanned& v) {
    switch (t.kind) {
      case Target::Kind::kInteger: *static_cast<std::int32_t*>(t.where) = v.integer; break;
      case Target::Kind::kReal: *static_cast<double*>(t.where) = v.real; break;
      case Target::Kind::kName: *static_cast<std::string*>(t.where) = v.name; break;
    }
  }

  void discard_line() {
    for (;;) {
      int c = in_.get();
      if (c == kEnd || c == '\n') return;
    }
  }

  // After a value: blanks and tabs, and at most one comma, on the same line.
  // A further comma is a null value of its own.
  void eat_separator() {
    while (is_blank(in_.peek())) in_.get();
    if (in_.peek() == ',') in_.get();
  }

  Unexpected<IoError> end_error() const {
    if (in_.read_errno() != 0) return {{"read", std::strerror(in_.read_errno())}};
    return {{"list in", "end of file"}};
  }

  Result next_value(Target::Kind kind, Scanned& v) {
    int c;
    while ((c = in_.peek()) == ' ' || c == '\t' || c == '\n') in_.get();
    if (c == kEnd) return end_error();
    if (c == ',') {
      in_.get();
      v.kind = Scanned::Kind::kNull;
      return {};
    }
    if (c == '/') {
      in_.get();
      v.kind = Scanned::Kind::kSlash;
      return {};
    }
    if (Result r = scan_value(kind, v, /*count_allowed=*/true); !r.ok()) return r;
    eat_separator();
    return {};
  }

  // Called on the first character of a value.
  Result scan_value(Target::Kind kind, Scanned& v, bool count_allowed) {
    if (kind == Target::Kind::kName) return scan_name(v, count_allowed);
    std::string text;  // sign and digits so far
    if (in_.peek() == '+' || in_.peek() == '-') text += static_cast<char>(in_.get());
    bool has_digits = false;
    while (is_digit(in_.peek())) {
      text += static_cast<char>(in_.get());
      has_digits = true;
    }
    if (count_allowed && in_.peek() == '*') return start_repeat(text, has_digits, kind, v);
    if (kind == Target::Kind::kInteger) return finish_integer(text, has_digits, v);
    return finish_real(std::move(text), has_digits, v);
  }

  // `digits` is an optional sign and digits; the next character is '*'.
  Result start_repeat(const std::string& digits, bool has_digits, Target::Kind kind, Scanned& v) {
    in_.get();
    long long count = 0;
    for (char ch : digits) {
      if (!is_digit(ch)) continue;
      count = count * 10 + (ch - '0');
      if (count > (1LL << 40)) count = 1LL << 40;  // more than any read can use
    }
    if (!has_digits || digits[0] == '-' || count == 0) return incomprehensible("bad repetition count");
    if (ends_name(in_.peek())) {
      v.kind = Scanned::Kind::kNull;
    } else if (Result r = scan_value(kind, v, /*count_allowed=*/false); !r.ok()) {
      return r;
    }
    repeat_value_ = v;
    repeat_left_ = count - 1;
    return {};
  }

  Result finish_integer(const std::string& text, bool has_digits, Scanned& v) {
    int c = in_.peek();
    if (!has_digits) {
      if (c == '*') return incomprehensible("bad repetition count");
      if (c == '.') return Unexpected{IoError{"invalid integer", "read unexpected character"}};
      return incomprehensible("invalid number");
    }
    if (c == '.' || is_exponent_letter(c)) return Unexpected{IoError{"invalid integer", "read unexpected character"}};
    long long mag = 0;  // leading zeros do not count toward the range
    for (char ch : text) {
      if (!is_digit(ch)) continue;
      mag = mag * 10 + (ch - '0');
      if (mag > (1LL << 32)) mag = 1LL << 32;
    }
    long long value = text[0] == '-' ? -mag : mag;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
      return Unexpected{IoError{"invalid integer", "integer out of range"}};
    }
    v.kind = Scanned::Kind::kValue;
    v.integer = static_cast<std::int32_t>(value);
    return {};
  }

  Result finish_real(std::string text, bool has_digits, Scanned& v) {
    if (in_.peek() == '.') {
      text += static_cast<char>(in_.get());
      while (is_digit(in_.peek())) {
        text += static_cast<char>(in_.get());
        has_digits = true;
      }
    }
    if (!has_digits) {
      // Only a sign may stand before the '*' of a count: ".*" is no number.
      if (in_.peek() == '*' && text.find('.') == std::string::npos) return incomprehensible("bad repetition count");
      return incomprehensible("invalid number");
    }
    if (is_exponent_letter(in_.peek())) {
      in_.get();
      text += 'e';
      if (in_.peek() == '+' || in_.peek() == '-') text += static_cast<char>(in_.get());
      if (!is_digit(in_.peek())) return incomprehensible("exponent field");
      while (is_digit(in_.peek())) text += static_cast<char>(in_.get());
    }
    // strtod rounds correctly whatever the number of digits, and gives
    // infinity or zero beyond the range; the text is plain C syntax by now.
    v.kind = Scanned::Kind::kValue;
    v.real = std::strtod(text.c_str(), nullptr);
    return {};
  }

  Result scan_name(Scanned& v, bool count_allowed) {
    std::string text;
    int c = in_.peek();
    if (c == '\'' || c == '"') {
      int quote = in_.get();
      for (;;) {
        int ch = in_.get();
        if (ch == kEnd) return end_error();
        if (ch == quote) {
          if (in_.peek() != quote) break;
          in_.get();  // a doubled quote stands for one
        } else if (ch == '\n') {
          continue;  // a line end inside quotes is dropped
        }
        text += static_cast<char>(ch);
        if (text.size() > kNameLength) text.pop_back();
      }
    } else {
      // Only a leading run of digits followed by '*' is a repeat count.
      while (is_digit(in_.peek())) text += static_cast<char>(in_.get());
      if (count_allowed && !text.empty() && in_.peek() == '*') {
        return start_repeat(text, true, Target::Kind::kName, v);
      }
      while (!ends_name(in_.peek())) {
        char ch = static_cast<char>(in_.get());
        if (text.size() < kNameLength) text += ch;
      }
    }
    if (text.size() > kNameLength) text.resize(kNameLength);
    text.resize(kNameLength, ' ');
    v.kind = Scanned::Kind::kValue;
    v.name = std::move(text);
    return {};
  }

  CharStream& in_;
  long long repeat_left_ = 0;
  Scanned repeat_value_;
};

}  // namespace

Expected<void, IoError> list_read(CharStream& in, std::span<const Target> targets) {
  // A repeated value is scanned once, for the kind of the target it first
  // serves; the reads of the program never mix kinds in one read.
  for (const Target& t : targets) {
    if (t.kind != targets[0].kind) {
      std::fprintf(stderr, "internal error: free-format read mixing kinds of items\n");
      std::abort();
    }
  }
  return Reader(in).run(targets);
}

}  // namespace ortelix::textio
