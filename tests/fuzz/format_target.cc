// Formatted writes against a reference built another way: the fuzzer's bytes
// make a format as a tree, which is written out as a format string for the
// product and unrolled into a flat list of actions for the reference; the
// reference edits with printf, which glibc rounds exactly from the binary
// value, where the product uses to_chars. Also the free-format text of a real.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "textio/edit_output.h"
#include "textio/fixed_fast.h"
#include "textio/format.h"
#include "textio/formatted_write.h"
#include "textio/record_sink.h"

namespace ortelix::fuzz {
namespace {

struct Node {
  enum Type { kText, kSkip, kSlash, kColon, kData, kGroup } type = kText;
  std::string text;
  char letter = 'I';  // I, F or A
  int repeat = 1;
  bool repeat_written = false;
  int w = 1, d = 0;
  std::vector<Node> kids;
};

std::vector<Node> make_nodes(Bytes& b, int depth) {
  static const char kChars[] = " abXY'\"0,()/:.*-";
  std::vector<Node> nodes(static_cast<std::size_t>(b.pick(1, 5)));
  for (Node& n : nodes) {
    switch (b.pick(0, 9)) {
      case 0:
      case 1:
        n.type = Node::kText;
        for (int k = b.pick(0, 4); k > 0; --k) n.text += kChars[b.pick(0, sizeof kChars - 2)];
        break;
      case 2:
        n.type = Node::kSkip;
        n.w = b.pick(1, 4);
        n.repeat_written = b.pick(0, 3) != 0;  // "X" alone is one column
        if (!n.repeat_written) n.w = 1;
        break;
      case 3: n.type = Node::kSlash; break;
      case 4: n.type = Node::kColon; break;
      case 8:
        if (depth < 3) {
          n.type = Node::kGroup;
          n.repeat = b.pick(1, 3);
          n.repeat_written = n.repeat > 1 || b.pick(0, 1);
          n.kids = make_nodes(b, depth + 1);
          break;
        }
        [[fallthrough]];
      default: {
        n.type = Node::kData;
        n.letter = "IFA"[b.pick(0, 2)];
        n.repeat = b.pick(1, 4);
        n.repeat_written = n.repeat > 1 || b.pick(0, 1);
        if (n.letter == 'F' && b.pick(0, 15) == 0) {
          // Wide fields: the digits of a large value or many decimals must
          // still come out whole.
          n.w = b.pick(1, 255) * 3;
          n.d = b.pick(0, 255) * 2;
        } else {
          n.w = b.pick(1, n.letter == 'F' ? 25 : 12);
          n.d = n.letter == 'F' ? b.pick(0, 15) : 0;
        }
      }
    }
  }
  return nodes;
}

std::string format_text(const std::vector<Node>& nodes) {
  std::string s = "(";
  for (std::size_t k = 0; k < nodes.size(); ++k) {
    const Node& n = nodes[k];
    if (k > 0) s += ',';
    switch (n.type) {
      case Node::kText:
        s += '\'';
        for (char c : n.text) s += c == '\'' ? std::string("''") : std::string(1, c);
        s += '\'';
        break;
      case Node::kSkip: s += n.repeat_written ? std::to_string(n.w) + "X" : "X"; break;
      case Node::kSlash: s += '/'; break;
      case Node::kColon: s += ':'; break;
      case Node::kData:
        if (n.repeat_written) s += std::to_string(n.repeat);
        s += n.letter + std::to_string(n.w);
        if (n.letter == 'F') s += "." + std::to_string(n.d);
        break;
      case Node::kGroup:
        if (n.repeat_written) s += std::to_string(n.repeat);
        s += format_text(n.kids);
        break;
    }
  }
  return s + ")";
}

// The actions of one pass over (part of) the format, groups unrolled.
void unroll(const std::vector<Node>& nodes, std::size_t from, std::vector<const Node*>& out) {
  for (std::size_t k = from; k < nodes.size(); ++k) {
    const Node& n = nodes[k];
    if (n.type == Node::kGroup) {
      for (int r = 0; r < n.repeat; ++r) unroll(n.kids, 0, out);
    } else if (n.type == Node::kData) {
      for (int r = 0; r < n.repeat; ++r) out.push_back(&n);
    } else {
      out.push_back(&n);
    }
  }
}

struct Item {
  char letter = 'I';
  int w = 0, d = 0;  // of the descriptor the item meets
  std::int64_t integer = 0;
  double real = 0;
  std::string text;
};

std::string ref_fixed(double v, int w, int d) {
  if (!std::isfinite(v)) return std::string(static_cast<std::size_t>(w), '*');
  std::vector<char> buf(static_cast<std::size_t>(std::snprintf(nullptr, 0, "%.*f", d, std::fabs(v))) + 1);
  std::snprintf(buf.data(), buf.size(), "%.*f", d, std::fabs(v));
  std::string digits = buf.data();
  if (d == 0) digits += '.';
  bool minus = v < 0 && digits.find_first_of("123456789") != std::string::npos;
  std::string field = (minus ? "-" : "") + digits;
  if (static_cast<int>(field.size()) == w + 1 && digits[0] == '0') field = (minus ? "-" : "") + digits.substr(1);
  if (static_cast<int>(field.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - field.size(), ' ') + field;
}

std::string ref_integer(std::int64_t v, int w) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
  std::string s = buf;
  if (static_cast<int>(s.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

std::string ref_alpha(const std::string& t, int w) {
  std::size_t width = static_cast<std::size_t>(w);
  return width > t.size() ? std::string(width - t.size(), ' ') + t : t.substr(0, width);
}

// Nine significant digits, fixed for decimal exponents -4 to 8, else
// mantissa and exponent; trailing zeros dropped, point always present.
std::string ref_list_real(double v) {
  std::string s = std::string(" ") + (v < 0 ? "-" : " ");
  double mag = std::fabs(v);
  if (mag == 0) return s + "0.";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.8e", mag);
  std::string digits = std::string(1, buf[0]) + std::string(buf + 2, 8);
  int e = std::atoi(std::strchr(buf, 'e') + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  if (e >= -4 && e <= 8) {
    if (e < 0) return s + "0." + std::string(static_cast<std::size_t>(-e - 1), '0') + digits;
    std::size_t whole = static_cast<std::size_t>(e) + 1;
    if (digits.size() <= whole) return s + digits + std::string(whole - digits.size(), '0') + ".";
    return s + digits.substr(0, whole) + "." + digits.substr(whole);
  }
  std::string ex = std::to_string(e < 0 ? -e : e);
  if (ex.size() < 2) ex = "0" + ex;
  return s + digits.substr(0, 1) + "." + digits.substr(1) + "E" + (e < 0 ? "-" : "+") + ex;
}

double make_real(Bytes& b) {
  switch (b.pick(0, 5)) {
    case 0: {
      std::uint64_t bits = b.u64();
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
  std::vector<Node> top = make_nodes(b, 1);
  const std::string source = format_text(top);

  std::vector<const Node*> first, again;
  unroll(top, 0, first);
  std::size_t last_group = top.size();
  for (std::size_t k = 0; k < top.size(); ++k) {
    if (top[k].type == Node::kGroup) last_group = k;
  }
  unroll(top, last_group == top.size() ? 0 : last_group, again);
  auto data_in = [](const std::vector<const Node*>& v) {
    std::size_t c = 0;
    for (const Node* n : v) c += n->type == Node::kData;
    return c;
  };

  // The items: each of the kind of the descriptor it will meet. Past the
  // first pass they repeat the reversion part, which must hold data.
  std::size_t want = static_cast<std::size_t>(b.pick(0, 14));
  if (data_in(again) == 0) want = std::min(want, data_in(first));
  std::vector<Item> items;
  for (std::size_t k = 0; items.size() < want; ++k) {
    const std::vector<const Node*>& pass = k == 0 ? first : again;
    for (const Node* n : pass) {
      if (n->type != Node::kData || items.size() == want) continue;
      Item it;
      it.letter = n->letter;
      it.w = n->w;
      it.d = n->d;
      if (n->letter == 'I') it.integer = b.pick(0, 3) == 0 ? static_cast<std::int64_t>(b.u64()) : b.pick(-300, 300);
      if (n->letter == 'F') it.real = make_real(b);
      if (n->letter == 'A') {
        for (int c = b.pick(0, 15); c > 0; --c) it.text += static_cast<char>(b.pick(32, 126));
      }
      items.push_back(it);
    }
  }

  // The reference: actions in order, a new record and the reversion part
  // whenever the end is reached with items left.
  std::vector<std::string> expected;
  {
    std::string rec;
    int pending = 0;
    std::size_t next = 0;
    const std::vector<const Node*>* pass = &first;
    for (bool done = false; !done;) {
      for (const Node* n : *pass) {
        if ((n->type == Node::kColon || n->type == Node::kData) && next == items.size()) {
          done = true;
          break;
        }
        if (n->type == Node::kText || n->type == Node::kData) {
          rec.append(static_cast<std::size_t>(pending), ' ');
          pending = 0;
        }
        if (n->type == Node::kText) rec += n->text;
        if (n->type == Node::kSkip) pending += n->w;
        if (n->type == Node::kSlash) {
          expected.push_back(rec);
          rec.clear();
          pending = 0;
        }
        if (n->type == Node::kData) {
          const Item& it = items[next++];
          if (it.letter == 'I') rec += ref_integer(it.integer, n->w);
          if (it.letter == 'F') rec += ref_fixed(it.real, n->w, n->d);
          if (it.letter == 'A') rec += ref_alpha(it.text, n->w);
        }
      }
      if (done || next == items.size()) break;
      expected.push_back(rec);
      rec.clear();
      pending = 0;
      pass = &again;
    }
    expected.push_back(rec);
  }

  textio::Format parsed;
  std::string error;
  check(textio::parse_format(source, parsed, error), "format " + source + " refused: " + error);
  textio::StringSink sink;
  {
    textio::FormattedWrite w(parsed, sink);
    for (const Item& it : items) {
      if (it.letter == 'I') w.put(it.integer);
      if (it.letter == 'F') w.put(it.real);
      if (it.letter == 'A') w.put(std::string_view(it.text));
    }
    w.finish();
  }
  check(sink.records.size() == expected.size(),
        "format " + source + ": " + std::to_string(sink.records.size()) + " records, reference " +
            std::to_string(expected.size()));
  for (std::size_t k = 0; k < expected.size(); ++k) {
    check(sink.records[k] == expected[k],
          "format " + source + " record " + std::to_string(k + 1) + " [" + sink.records[k] + "], reference [" +
              expected[k] + "]");
  }

  // The variable file's short path for formats of one repeated F
  // descriptor: the same records.
  if (top.size() == 1 && top[0].type == Node::kData && top[0].letter == 'F') {
    textio::RepeatedFixed fast(source);
    check(fast.valid(), "format " + source + " not taken by the short path");
    std::vector<double> values;
    for (const Item& it : items) values.push_back(it.real);
    textio::StringSink fast_sink;
    fast.write(fast_sink, values.data(), static_cast<int>(values.size()));
    check(fast_sink.records == expected, "short path of " + source + " differs: first record [" +
                                             (fast_sink.records.empty() ? "" : fast_sink.records[0]) + "]");
  }

  for (const Item& it : items) {
    if (it.letter != 'F') continue;
    std::string fast;
    textio::edit_fixed_fast(fast, it.real, it.w, it.d);
    const std::string want_field = ref_fixed(it.real, it.w, it.d);
    check(fast == want_field, "short F" + std::to_string(it.w) + "." + std::to_string(it.d) + " [" + fast +
                                  "], reference [" + want_field + "]");
    if (std::isfinite(it.real)) {
      std::string got = textio::list_real_text(it.real);
      std::string want_text = ref_list_real(it.real);
      check(got == want_text, "free-format real [" + got + "], reference [" + want_text + "]");
    }
  }
  return 0;
}

}  // namespace ortelix::fuzz
