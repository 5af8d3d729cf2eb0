#include "fuzz/reference_reader.h"

#include <cstdlib>

namespace ortelix::fuzz {
namespace {

constexpr std::size_t kNameLength = 79;

bool digit(int c) { return c >= '0' && c <= '9'; }
bool exponent_letter(int c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }
bool ends_unquoted(int c) { return c < 0 || c == ' ' || c == '\t' || c == ',' || c == '/' || c == '\n'; }

RefOutcome error(const char* context, const char* reason) { return {false, context, reason}; }
RefOutcome incomprehensible(const char* context) { return error(context, "incomprehensible list input"); }

}  // namespace

int RefStream::at(std::size_t i) {
  if (i >= text_.size()) {
    ended_ = true;
    return -1;
  }
  return static_cast<unsigned char>(text_[i]);
}

void RefStream::separator() {
  while (at(pos_) == ' ' || at(pos_) == '\t') ++pos_;
  if (at(pos_) == ',') ++pos_;
}

RefOutcome RefStream::read(Kind kind, std::vector<RefItem>& items) {
  if (ended_) return error("read start", "end of file");
  std::size_t next = 0;
  while (next < items.size()) {
    while (at(pos_) == ' ' || at(pos_) == '\t' || at(pos_) == '\n') ++pos_;
    int c = at(pos_);
    if (c < 0) return error("list in", "end of file");
    if (c == ',') {
      ++pos_;
      ++next;
      continue;
    }
    if (c == '/') {
      ++pos_;
      break;
    }
    RefItem v;
    bool nulls = false;
    long long count = 1;
    RefOutcome o = value(kind, v, nulls, count);
    if (!o.ok) return o;
    for (long long k = 0; k < count && next < items.size(); ++k, ++next) {
      if (!nulls) items[next] = v;
    }
    separator();
  }
  for (;;) {
    int c = at(pos_);
    if (c < 0) break;
    ++pos_;
    if (c == '\n') break;
  }
  return {};
}

// A value, with its repeat count when it has one: a sign (numbers only) and
// digits standing right before a '*'.
RefOutcome RefStream::value(Kind kind, RefItem& out, bool& nulls, long long& count) {
  std::size_t i = pos_;
  bool minus = false;
  if (kind != Kind::kName && (at(i) == '+' || at(i) == '-')) {
    minus = at(i) == '-';
    ++i;
  }
  std::size_t first_digit = i;
  while (digit(at(i))) ++i;
  bool counted = at(i) == '*' && (kind != Kind::kName || i > first_digit);
  if (counted) {
    std::string digits = text_.substr(first_digit, i - first_digit);
    std::size_t nz = digits.find_first_not_of('0');
    if (digits.empty() || minus || nz == std::string::npos) return incomprehensible("bad repetition count");
    digits = digits.substr(nz);
    count = digits.size() > 12 ? 1000000000000LL : std::atoll(digits.c_str());
    pos_ = i + 1;
    if (ends_unquoted(at(pos_))) {
      nulls = true;
      return {};
    }
  }
  return single(kind, out);
}

RefOutcome RefStream::single(Kind kind, RefItem& out) {
  std::size_t i = pos_;
  if (kind == Kind::kInteger) {
    bool minus = false;
    if (at(i) == '+' || at(i) == '-') {
      minus = at(i) == '-';
      ++i;
    }
    std::size_t first = i;
    while (digit(at(i))) ++i;
    if (i == first) {
      if (at(i) == '.') return error("invalid integer", "read unexpected character");
      if (at(i) == '*') return incomprehensible("bad repetition count");
      return incomprehensible("invalid number");
    }
    if (at(i) == '.' || exponent_letter(at(i))) return error("invalid integer", "read unexpected character");
    std::string digits = text_.substr(first, i - first);
    std::size_t nz = digits.find_first_not_of('0');
    digits = nz == std::string::npos ? "0" : digits.substr(nz);
    if (digits.size() > 10) return error("invalid integer", "integer out of range");
    long long v = std::atoll(digits.c_str());
    if (minus) v = -v;
    if (v < -2147483648LL || v > 2147483647LL) return error("invalid integer", "integer out of range");
    out.integer = static_cast<std::int32_t>(v);
    pos_ = i;
    return {};
  }
  if (kind == Kind::kReal) {
    std::string token;
    if (at(i) == '+' || at(i) == '-') token += static_cast<char>(text_[i++]);
    bool any_digit = false;
    bool point = false;
    while (digit(at(i))) {
      token += text_[i++];
      any_digit = true;
    }
    if (at(i) == '.') {
      point = true;
      token += text_[i++];
      while (digit(at(i))) {
        token += text_[i++];
        any_digit = true;
      }
    }
    if (!any_digit) {
      if (!point && at(i) == '*') return incomprehensible("bad repetition count");
      return incomprehensible("invalid number");
    }
    if (exponent_letter(at(i))) {
      ++i;
      token += 'e';
      if (at(i) == '+' || at(i) == '-') token += text_[i++];
      if (!digit(at(i))) return incomprehensible("exponent field");
      while (digit(at(i))) token += text_[i++];
    }
    out.real = std::strtod(token.c_str(), nullptr);
    pos_ = i;
    return {};
  }
  std::string name;
  int c = at(i);
  if (c == '\'' || c == '"') {
    ++i;
    for (;;) {
      int ch = at(i);
      if (ch < 0) return error("list in", "end of file");
      ++i;
      if (ch == c) {
        if (at(i) != c) break;
        ++i;
      } else if (ch == '\n') {
        continue;
      }
      name += static_cast<char>(ch);
    }
  } else {
    while (!ends_unquoted(at(i))) name += text_[i++];
  }
  if (name.size() > kNameLength) name.resize(kNameLength);
  name.resize(kNameLength, ' ');
  out.name = name;
  pos_ = i;
  return {};
}

}  // namespace ortelix::fuzz
