// Free-format reads against a deliberately plain reader written from the
// rules of the input: it looks ahead in the whole text where the product
// reads one character at a time. Every value, kept value, diagnostic and the
// end-of-input flag are compared, and the reads after them too, so that a
// read that stops at the wrong character shows in the next one.

#include <cstring>
#include <utility>
#include <vector>

#include "fuzz/fuzz.h"
#include "textio/list_read.h"

namespace ortelix::fuzz {
namespace {

enum class Kind { kInteger, kReal, kName };

struct Item {
  std::int32_t integer = -7;  // starting values no input produces by accident
  double real = -7.25;
  std::string name = std::string(79, '#');
  std::string text() const {
    std::uint64_t bits;
    std::memcpy(&bits, &real, sizeof bits);
    return std::to_string(integer) + " " + std::to_string(bits) + " [" + name + "]";
  }
};

const std::string kBadCount = "bad repetition count: incomprehensible list input";
const std::string kNotANumber = "invalid number: incomprehensible list input";
const std::string kUnexpected = "invalid integer: read unexpected character";
const std::string kOutOfRange = "invalid integer: integer out of range";
const std::string kExponent = "exponent field: incomprehensible list input";
const std::string kEnd = "list in: end of file", kReadStart = "read start: end of file";

bool digit(int c) { return c >= '0' && c <= '9'; }
bool exponent(int c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }
bool ends_name(int c) { return c < 0 || c == ' ' || c == '\t' || c == ',' || c == '/' || c == '\n'; }

// Errors are "context: reason", empty when the read succeeded.
struct Reference {
  std::string text;
  std::size_t pos = 0;
  bool ended = false;  // the end of the text has been looked at

  int at(std::size_t i) {
    if (i < text.size()) return static_cast<unsigned char>(text[i]);
    ended = true;
    return -1;
  }

  std::string read(Kind kind, std::vector<Item>& items) {
    if (ended) return kReadStart;
    for (std::size_t next = 0; next < items.size();) {
      while (at(pos) == ' ' || at(pos) == '\t' || at(pos) == '\n') ++pos;
      const int c = at(pos);
      if (c < 0) return kEnd;
      if (c == ',' || c == '/') {
        ++pos;
        if (c == '/') break;
        ++next;  // a null value
        continue;
      }
      // A repeat count: a sign (numbers only) and digits right before '*'.
      std::size_t i = pos + (kind != Kind::kName && (c == '+' || c == '-'));
      const std::size_t first = i;
      while (digit(at(i))) ++i;
      long long count = 1;
      const bool counted = at(i) == '*' && (kind != Kind::kName || i > first);
      if (counted) {
        const std::size_t nz = text.find_first_not_of('0', first);
        if (i == first || c == '-' || nz >= i) return kBadCount;
        count = i - nz > 12 ? 1000000000000LL : std::atoll(text.substr(nz, i - nz).c_str());
        pos = i + 1;
      }
      Item v;
      const bool nulls = counted && ends_name(at(pos));
      if (std::string e = nulls ? "" : single(kind, v); !e.empty()) return e;
      for (; count > 0 && next < items.size(); --count, ++next) {
        if (!nulls) items[next] = v;
      }
      while (at(pos) == ' ' || at(pos) == '\t') ++pos;
      if (at(pos) == ',') ++pos;
    }
    for (int c = at(pos); c >= 0; c = at(pos)) {  // the rest of the line
      ++pos;
      if (c == '\n') break;
    }
    return "";
  }

  std::string single(Kind kind, Item& out) {
    std::size_t i = pos;
    std::string token;
    if (const int quote = at(i); kind == Kind::kName && (quote == '\'' || quote == '"')) {
      for (++i;;) {
        const int c = at(i++);
        if (c < 0) return kEnd;
        if (c == quote && at(i) != quote) break;
        if (c == quote) ++i;
        if (c != '\n') token += static_cast<char>(c);
      }
    } else if (kind == Kind::kName) {
      while (!ends_name(at(i))) token += text[i++];
    } else {
      if (at(i) == '+' || at(i) == '-') token += text[i++];
      const std::size_t first = i;
      while (digit(at(i))) token += text[i++];
      const bool point = at(i) == '.';
      if (kind == Kind::kInteger) {
        if (i == first && !point) return at(i) == '*' ? kBadCount : kNotANumber;
        if (point || exponent(at(i))) return kUnexpected;
        const std::size_t nz = token.find_first_not_of("+-0");
        const long long v = nz == std::string::npos ? 0 : token.size() - nz > 10 ? 1LL << 40 : std::atoll(&token[nz]);
        if (v > 2147483647LL + (token[0] == '-')) return kOutOfRange;
        out.integer = static_cast<std::int32_t>(token[0] == '-' ? -v : v);
      } else {
        if (point) token += text[i++];
        while (point && digit(at(i))) token += text[i++];
        if (token.find_first_of("0123456789") == std::string::npos) {
          return !point && at(i) == '*' ? kBadCount : kNotANumber;
        }
        if (exponent(at(i))) {
          ++i;
          token += 'e';
          if (at(i) == '+' || at(i) == '-') token += text[i++];
          if (!digit(at(i))) return kExponent;
          while (digit(at(i))) token += text[i++];
        }
        out.real = std::strtod(token.c_str(), nullptr);
      }
    }
    if (kind == Kind::kName) out.name = (token + std::string(79, ' ')).substr(0, 79);
    pos = i;
    return "";
  }
};

// One read of `count` items of `kind` by both; false after an error (the
// run would end there). `values`, when given, receives the items.
bool compare_read(textio::CharStream& in, Reference& ref, Kind kind, int count, std::vector<Item>* values = nullptr) {
  std::vector<Item> got(static_cast<std::size_t>(count)), want = got;
  std::vector<textio::Target> targets;
  for (Item& it : got) {
    if (kind == Kind::kInteger) targets.emplace_back(it.integer);
    if (kind == Kind::kReal) targets.emplace_back(it.real);
    if (kind == Kind::kName) targets.emplace_back(it.name);
  }
  const auto read = textio::list_read(in, targets);
  const std::string error = read.ok() ? "" : read.error().context + ": " + read.error().reason;
  const std::string expected = ref.read(kind, want);
  check(error == expected, "outcome [" + error + "], reference [" + expected + "]");
  check(in.end_seen() == ref.ended, std::string("end-of-input flag ") + (in.end_seen() ? "set" : "clear"));
  for (std::size_t k = 0; k < got.size(); ++k) {
    check(got[k].text() == want[k].text(), "item " + std::to_string(k + 1) + ": " + got[k].text() + ", reference " +
                                               want[k].text());
  }
  if (values != nullptr) *values = want;
  return error.empty();
}

}  // namespace

// Several reads of mixed kinds on one stream.
int fuzz_list_read(const std::uint8_t* data, std::size_t size) {
  Bytes b(data, size);
  std::vector<std::pair<Kind, int>> plan(static_cast<std::size_t>(b.pick(1, 8)));
  for (auto& [kind, count] : plan) {
    kind = static_cast<Kind>(b.pick(0, 2));
    count = b.pick(1, 5);
  }
  Reference ref{b.rest()};
  textio::CharStream in = textio::CharStream::from_text(ref.text);
  for (std::size_t k = 0; k < plan.size() && compare_read(in, ref, plan[k].first, plan[k].second); ++k) {
  }
  return 0;
}

// A coordinate file read the way the coordinate reader reads it: the three
// header counts in one read, then one read of p coordinates per site.
int fuzz_coordinate_file(const std::uint8_t* data, std::size_t size) {
  Reference ref{std::string(reinterpret_cast<const char*>(data), size)};
  textio::CharStream in = textio::CharStream::from_text(ref.text);
  std::vector<Item> header;
  if (!compare_read(in, ref, Kind::kInteger, 3, &header)) return 0;
  const std::int64_t n = header[0].integer, p = header[1].integer, nsup = header[2].integer;
  // The reader refuses these headers before reading any site; a long file
  // is no different from a short one.
  if (n < 1 || p < 1 || nsup < 0 || p > 2000 || n + nsup > 2000 || p * (n + nsup) > 20000) return 0;
  for (std::int64_t i = 0; i < n + nsup && compare_read(in, ref, Kind::kReal, static_cast<int>(p)); ++i) {
  }
  return 0;
}

}  // namespace ortelix::fuzz
