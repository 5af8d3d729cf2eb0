// Formatted writes against a reference built another way: the fuzzer's bytes
// make a format tree, written out as a format string for the product and
// unrolled into actions for the reference, which edits with printf.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz.h"
#include "textio/format.h"
#include "textio/formatted_write.h"
#include "textio/record_sink.h"

namespace ortelix::fuzz {
namespace {

struct Node {
  char type;  // '\'' text, 'X', '/', ':', '(' group, or the data letter I, F, A
  std::string text;
  int repeat = 1, w = 1, d = 0;
  std::vector<Node> kids;
};

// Nodes for one level of parentheses, their source appended to `source`.
std::vector<Node> make_nodes(Bytes& b, int depth, std::string& source) {
  static const char kChars[] = " abXY'\"0,()/:.*-";
  std::vector<Node> nodes(static_cast<std::size_t>(b.pick(1, 5)));
  for (std::size_t k = 0; k < nodes.size(); ++k) {
    Node& n = nodes[k];
    source += k > 0 ? "," : "";
    const int choice = b.pick(0, 9);
    if (choice <= 1) {
      n.type = '\'';
      for (int c = b.pick(0, 4); c > 0; --c) n.text += kChars[b.pick(0, sizeof kChars - 2)];
      source += '\'';
      for (char c : n.text) source += c == '\'' ? "''" : std::string(1, c);
      source += '\'';
    } else if (choice == 2) {
      n.type = 'X';
      n.w = b.pick(1, 4);
      const bool written = b.pick(0, 3) != 0;
      if (!written) n.w = 1;  // "X" alone is one column
      source += (written ? std::to_string(n.w) : "") + "X";
    } else if (choice == 3 || choice == 4) {
      n.type = choice == 3 ? '/' : ':';
      source += n.type;
    } else if (choice == 8 && depth < 3) {
      n.type = '(';
      n.repeat = b.pick(1, 3);
      if (n.repeat > 1 || b.pick(0, 1)) source += std::to_string(n.repeat);
      source += '(';
      n.kids = make_nodes(b, depth + 1, source);
      source += ')';
    } else {
      n.type = "IFA"[b.pick(0, 2)];
      n.repeat = b.pick(1, 4);
      if (n.repeat > 1 || b.pick(0, 1)) source += std::to_string(n.repeat);
      if (n.type == 'F' && b.pick(0, 15) == 0) {  // wide fields must still get their digits
        n.w = b.pick(1, 255) * 3;
        n.d = b.pick(0, 255) * 2;
      } else {
        n.w = b.pick(1, n.type == 'F' ? 25 : 12);
        n.d = n.type == 'F' ? b.pick(0, 15) : 0;
      }
      source += n.type + std::to_string(n.w) + (n.type == 'F' ? "." + std::to_string(n.d) : "");
    }
  }
  return nodes;
}

// The actions of one pass over the nodes from `from` on, groups unrolled.
void unroll(const std::vector<Node>& nodes, std::size_t from, std::vector<const Node*>& out) {
  for (std::size_t k = from; k < nodes.size(); ++k) {
    for (int r = 0; r < nodes[k].repeat; ++r) {
      if (nodes[k].type == '(') unroll(nodes[k].kids, 0, out);
      else out.push_back(&nodes[k]);
    }
  }
}

// Right-justified in w columns, or w asterisks when it does not fit.
std::string field(const std::string& s, int w) {
  return static_cast<int>(s.size()) > w ? std::string(w, '*') : std::string(w - s.size(), ' ') + s;
}

// Digits correctly rounded by glibc; a sign only when a digit is not 0; the
// leading 0 dropped when that alone makes the field fit.
std::string ref_fixed(double v, int w, int d) {
  if (!std::isfinite(v)) return std::string(w, '*');
  std::string digits(static_cast<std::size_t>(std::snprintf(nullptr, 0, "%.*f", d, std::fabs(v))), '\0');
  std::snprintf(digits.data(), digits.size() + 1, "%.*f", d, std::fabs(v));
  if (d == 0) digits += '.';
  const std::string sign = v < 0 && digits.find_first_of("123456789") != std::string::npos ? "-" : "";
  if (static_cast<int>(sign.size() + digits.size()) == w + 1 && digits[0] == '0') digits.erase(0, 1);
  return field(sign + digits, w);
}

double make_real(Bytes& b) {
  switch (b.pick(0, 5)) {
    case 0: {
      const std::uint64_t bits = b.u64();
      double v;
      std::memcpy(&v, &bits, sizeof v);
      return v;
    }
    case 1: return static_cast<double>(static_cast<std::int64_t>(b.u64() % 2000001) - 1000000) / 1000.0;
    case 2: return static_cast<double>(static_cast<std::int64_t>(b.u64() % 200001) - 100000) / 64.0;
    case 3: return std::ldexp(static_cast<double>(b.u64() >> 11), b.pick(-80, 20)) * (b.pick(0, 1) ? 1 : -1);
    case 4: return -0.0;
    default: return static_cast<double>(b.pick(0, 255)) * std::pow(10.0, b.pick(-12, 12));
  }
}

}  // namespace

int fuzz_format(const std::uint8_t* data, std::size_t size) {
  Bytes b(data, size);
  std::string source = "(";
  const std::vector<Node> top = make_nodes(b, 1, source);
  source += ")";

  // After the first pass, the format reverts to the last outermost group
  // (or its start), which must then hold data for more items.
  std::vector<const Node*> first, again;
  unroll(top, 0, first);
  std::size_t last_group = 0;
  for (std::size_t k = 0; k < top.size(); ++k) last_group = top[k].type == '(' ? k : last_group;
  unroll(top, last_group, again);
  auto data_in = [](const std::vector<const Node*>& v) {
    return std::count_if(v.begin(), v.end(), [](const Node* n) { return std::isupper(n->type) && n->type != 'X'; });
  };
  std::size_t want = static_cast<std::size_t>(b.pick(0, 14));
  if (data_in(again) == 0) want = std::min<std::size_t>(want, data_in(first));

  // The reference writes the items as it meets data descriptors, each item
  // of the kind of its descriptor, a new record at a slash and at each pass.
  std::vector<std::string> expected(1);
  textio::StringSink sink;
  textio::Format parsed;
  std::string error;
  check(textio::parse_format(source, parsed, error), "format " + source + " refused: " + error);
  {
    textio::FormattedWrite w(parsed, sink);
    std::size_t written = 0, pending = 0;
    for (const std::vector<const Node*>* pass = &first;; pass = &again) {
      for (const Node* n : *pass) {
        const bool item = std::string("IFA").find(n->type) != std::string::npos;
        if ((item || n->type == ':') && written == want) break;
        if (item || n->type == '\'') expected.back().append(std::exchange(pending, 0), ' ');
        if (n->type == '\'') expected.back() += n->text;
        if (n->type == 'X') pending += static_cast<std::size_t>(n->w);
        if (n->type == '/') expected.emplace_back();
        if (n->type == '/') pending = 0;
        if (!item) continue;
        ++written;
        if (n->type == 'I') {
          const std::int64_t v = b.pick(0, 3) == 0 ? static_cast<std::int64_t>(b.u64()) : b.pick(-300, 300);
          w.put(v);
          expected.back() += field(std::to_string(v), n->w);
        } else if (n->type == 'F') {
          const double v = make_real(b);
          w.put(v);
          expected.back() += ref_fixed(v, n->w, n->d);
        } else {
          std::string t;
          for (int c = b.pick(0, 15); c > 0; --c) t += static_cast<char>(b.pick(32, 126));
          w.put(std::string_view(t));
          expected.back() += static_cast<int>(t.size()) < n->w ? field(t, n->w) : t.substr(0, n->w);
        }
      }
      if (written == want) break;
      expected.emplace_back();
      pending = 0;
    }
    w.finish();
  }
  check(sink.records.size() == expected.size(), "format " + source + ": " + std::to_string(sink.records.size()) +
                                                    " records, reference " + std::to_string(expected.size()));
  for (std::size_t k = 0; k < expected.size(); ++k) {
    check(sink.records[k] == expected[k], "format " + source + " record " + std::to_string(k + 1) + " [" +
                                              sink.records[k] + "], reference [" + expected[k] + "]");
  }
  return 0;
}

}  // namespace ortelix::fuzz
