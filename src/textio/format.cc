#include "textio/format.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unordered_map>

namespace ortelix::textio {
namespace {

class Parser {
 public:
  Parser(std::string_view s, Format& out, std::string& error) : s_(s), out_(out), error_(error) {}

  bool run() {
    skip_blanks();
    if (!eat('(')) return fail("format must begin with '('");
    std::vector<int> open;  // indices of open groups, outer parenthesis excluded
    int last_top_group = -1;
    for (;;) {
      skip_blanks();
      if (at_end()) return fail("unbalanced parentheses");
      char c = s_[pos_];
      if (c == ',') { ++pos_; continue; }
      if (c == ')') {
        ++pos_;
        if (open.empty()) break;
        int o = open.back();
        open.pop_back();
        Descriptor close{Op::kGroupClose};
        close.partner = o;
        out_.ops[o].partner = static_cast<int>(out_.ops.size());
        out_.ops.push_back(close);
        if (open.empty()) last_top_group = o;
        continue;
      }
      if (c == '/') { ++pos_; out_.ops.push_back(Descriptor(Op::kSlash)); continue; }
      if (c == ':') { ++pos_; out_.ops.push_back(Descriptor(Op::kColon)); continue; }
      if (c == '\'' || c == '"') {
        std::string text;
        if (!quoted(text)) return false;
        Descriptor d{Op::kText};
        d.text = std::move(text);
        out_.ops.push_back(std::move(d));
        continue;
      }
      int count = -1;
      if (is_digit(c)) count = number();
      skip_blanks();
      if (at_end()) return fail("format ends inside a descriptor");
      c = upper(s_[pos_]);
      if (c == '(') {
        ++pos_;
        Descriptor d{Op::kGroupOpen};
        d.repeat = count < 0 ? 1 : count;
        open.push_back(static_cast<int>(out_.ops.size()));
        out_.ops.push_back(d);
        continue;
      }
      if (c == 'X') {
        ++pos_;
        Descriptor d{Op::kSkip};
        d.width = count < 0 ? 1 : count;
        out_.ops.push_back(d);
        continue;
      }
      if (c == 'I' || c == 'F' || c == 'A') {
        ++pos_;
        Descriptor d{c == 'I' ? Op::kInteger : c == 'F' ? Op::kFixed : Op::kAlpha};
        d.repeat = count < 0 ? 1 : count;
        if (!is_digit(peek())) return fail("data descriptor without width");
        d.width = number();
        if (c == 'F') {
          if (!eat('.')) return fail("F descriptor without decimals");
          if (!is_digit(peek())) return fail("F descriptor without decimals");
          d.decimals = number();
        }
        if (d.width < 1 || d.repeat < 1) return fail("zero width or repeat count");
        out_.has_data = true;
        out_.ops.push_back(d);
        continue;
      }
      return fail("unknown descriptor");
    }
    skip_blanks();
    if (!at_end()) return fail("text after the closing parenthesis");
    out_.reversion = last_top_group < 0 ? 0 : last_top_group;
    return true;
  }

 private:
  static bool is_digit(char c) { return c >= '0' && c <= '9'; }
  static char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
  bool at_end() const { return pos_ >= s_.size(); }
  char peek() const { return at_end() ? '\0' : s_[pos_]; }
  bool eat(char c) {
    if (peek() != c) return false;
    ++pos_;
    return true;
  }
  void skip_blanks() {
    while (!at_end() && s_[pos_] == ' ') ++pos_;
  }
  int number() {
    long v = 0;
    while (is_digit(peek())) {
      v = v * 10 + (s_[pos_++] - '0');
      if (v > 1000000) v = 1000000;
    }
    return static_cast<int>(v);
  }
  bool quoted(std::string& text) {
    char q = s_[pos_++];
    for (;;) {
      if (at_end()) return fail("unterminated text");
      char c = s_[pos_++];
      if (c == q) {
        if (peek() == q) { text += q; ++pos_; continue; }
        return true;
      }
      text += c;
    }
  }
  bool fail(const char* why) {
    error_ = std::string(why) + " at column " + std::to_string(pos_ + 1) + " of " + std::string(s_);
    return false;
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  Format& out_;
  std::string& error_;
};

}  // namespace

bool parse_format(std::string_view source, Format& out, std::string& error) {
  out = Format{};
  out.source = std::string(source);
  return Parser(source, out, error).run();
}

const Format& format_of(std::string_view source) {
  // Keyed by content: the same literal may live at several addresses.
  static std::unordered_map<std::string, std::unique_ptr<Format>> cache;
  auto it = cache.find(std::string(source));
  if (it != cache.end()) return *it->second;
  auto f = std::make_unique<Format>();
  std::string error;
  if (!parse_format(source, *f, error)) {
    std::fprintf(stderr, "internal error: bad format string: %s\n", error.c_str());
    std::abort();
  }
  const Format& ref = *f;
  cache.emplace(std::string(source), std::move(f));
  return ref;
}

std::string describe(const Format& f) {
  std::string s;
  for (const Descriptor& d : f.ops) {
    if (!s.empty() && d.op != Op::kGroupClose) s += ' ';
    switch (d.op) {
      case Op::kText: s += "'" + d.text + "'"; break;
      case Op::kSkip: s += std::to_string(d.width) + "X"; break;
      case Op::kSlash: s += "/"; break;
      case Op::kColon: s += ":"; break;
      case Op::kInteger:
      case Op::kFixed:
      case Op::kAlpha:
        if (d.repeat != 1) s += std::to_string(d.repeat);
        s += d.op == Op::kInteger ? "I" : d.op == Op::kFixed ? "F" : "A";
        s += std::to_string(d.width);
        if (d.op == Op::kFixed) s += "." + std::to_string(d.decimals);
        break;
      case Op::kGroupOpen: s += std::to_string(d.repeat) + "("; break;
      case Op::kGroupClose: s += ")"; break;
    }
  }
  return s;
}

}  // namespace ortelix::textio
